#!/usr/bin/python3
"""Faults of a database server for the tests, on two ports of 127.0.0.1:

  stall      forwards to the real server until the server has sent its first ReadyForQuery (the
             login is done), then passes nothing more either way and keeps the connection open:
             a server that stops answering just after a login began.
  blackhole  accepts a connection and never answers.
  release    a connection here closes every connection the other two hold: a client's calls that
             were left waiting on them then come back, before the client ends.

Usage: stall_proxy.py SERVER_PORT PORT_FILE. Writes "stall blackhole release" ports to PORT_FILE, records
each connection in PORT_FILE.log, and ends with the script that started it, or after an hour.
"""
import os
import select
import socket
import struct
import sys
import threading
import time

NEGOTIATION_CODES = {80877103, 80877104}  # SSLRequest, GSSENCRequest: answered by one byte


def log(path, text):
    with open(path, "a") as f:
        f.write("%s %s\n" % (time.strftime("%H:%M:%S"), text))


held = []  # every client connection the stall and the blackhole keep open
held_lock = threading.Lock()


def hold(client):
    with held_lock:
        held.append(client)


def release_all(log_path):
    with held_lock:
        for c in held:
            try:
                c.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            c.close()
        log(log_path, "release: %d held connections closed" % len(held))
        held.clear()


def stall(client, server_port, log_path):
    hold(client)
    server = socket.create_connection(("127.0.0.1", server_port))
    pending_single = 0  # one-byte answers the server still owes to negotiation requests
    from_client = b""
    from_server = b""
    started = False  # the client sent its startup message
    frozen = False
    try:
        while True:
            readable, _, _ = select.select([client, server], [], [], 3600)
            if not readable:
                return
            for s in readable:
                data = s.recv(65536)
                if not data:
                    return
                if frozen:
                    continue  # read and dropped: nothing more passes
                if s is client:
                    if not started:
                        from_client += data
                        while len(from_client) >= 8 and not started:
                            length, code = struct.unpack("!II", from_client[:8])
                            if length == 8 and code in NEGOTIATION_CODES:
                                pending_single += 1
                                from_client = from_client[8:]
                            else:
                                started = True
                    server.sendall(data)
                    continue
                # From the server: find the first ReadyForQuery ('Z') and pass nothing after it.
                from_server += data
                passed = b""
                while from_server:
                    if pending_single:
                        passed += from_server[:1]
                        from_server = from_server[1:]
                        pending_single -= 1
                        continue
                    if len(from_server) < 5:
                        break
                    kind = from_server[:1]
                    length = struct.unpack("!I", from_server[1:5])[0]
                    if len(from_server) < 1 + length:
                        break
                    passed += from_server[: 1 + length]
                    from_server = from_server[1 + length :]
                    if kind == b"Z":
                        frozen = True
                        log(log_path, "stall: the login is done; nothing passes from here on")
                        break
                client.sendall(passed)
    except (OSError, ValueError):
        return  # released: the client's socket was closed under us
    finally:
        server.close()
        client.close()


def serve(listener, handler):
    while True:
        client, _ = listener.accept()
        threading.Thread(target=handler, args=(client,), daemon=True).start()


def main():
    server_port, port_file = int(sys.argv[1]), sys.argv[2]
    log_path = port_file + ".log"
    listeners = []
    for _ in range(3):
        l = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        l.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        l.bind(("127.0.0.1", 0))
        l.listen(16)
        listeners.append(l)
    def blackhole(client):
        log(log_path, "blackhole: a connection, never answered")
        hold(client)  # kept open, never read

    def release(client):
        client.close()
        release_all(log_path)

    threading.Thread(target=serve, args=(listeners[0], lambda c: stall(c, server_port, log_path)), daemon=True).start()
    threading.Thread(target=serve, args=(listeners[1], blackhole), daemon=True).start()
    threading.Thread(target=serve, args=(listeners[2], release), daemon=True).start()
    with open(port_file + ".tmp", "w") as f:
        f.write(" ".join(str(l.getsockname()[1]) for l in listeners) + "\n")
    os.replace(port_file + ".tmp", port_file)
    parent, deadline = os.getppid(), time.time() + 3600
    while time.time() < deadline and os.getppid() == parent:
        time.sleep(2)


if __name__ == "__main__":
    main()
