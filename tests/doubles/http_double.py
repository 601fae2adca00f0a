#!/usr/bin/python3
"""The two web services of the run report, on 127.0.0.1, for the tests.

  GET /ip     the external IP echo page: an HTML page whose body reads "Current IP Address: 203.0.113.7",
              or as FOLDER/mode says:
                echo404    status 404, a page whose body holds "1.2.4.4180"
                echoplain  "203.0.113.8" without any HTML
                echolong   300,000 digits and dots
  any POST    the report: recorded, then answered as FOLDER/mode says:
                ok        "+OK"
                other     "-ERR not stored"
                refuse    status 500 and no body
                error-ok  status 500 with the body "+OK"
                hang      accepts and never answers

Usage: http_double.py FOLDER. Writes its port to FOLDER/port; every request is a line of
FOLDER/record: method, path, content type and the body in hex, separated by tabs. Ends with the
script that started it, or after an hour.
"""
import http.server
import os
import sys
import threading
import time

folder = sys.argv[1]


def mode():
    try:
        with open(os.path.join(folder, "mode")) as f:
            return f.read().strip() or "ok"
    except OSError:
        return "ok"


class Handler(http.server.BaseHTTPRequestHandler):
    def record(self, body):
        with open(os.path.join(folder, "record"), "a") as f:
            f.write("%s\t%s\t%s\t%s\n" % (self.command, self.path, self.headers.get("Content-Type", ""), body.hex()))

    def answer(self, status, text):
        data = text.encode("ascii")
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.record(b"")
        m = mode()
        if m == "echo404":
            self.answer(404, "<html><body>Error 404: 1.2.4.4180 not found</body></html>")
        elif m == "echoplain":
            self.answer(200, "203.0.113.8\r\n")
        elif m == "echolong":
            self.answer(200, "1." * 150000 + "7")
        else:
            self.answer(200, "<html><head><title>IP</title></head><body>Current IP Address: 203.0.113.7</body></html>")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.record(body)
        m = mode()
        if m == "hang":
            time.sleep(3600)
        elif m == "refuse":
            self.answer(500, "")
        elif m == "error-ok":
            self.answer(500, "+OK")
        elif m == "other":
            self.answer(200, "-ERR not stored")
        else:
            self.answer(200, " +ok \r\n")

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(os.path.join(folder, "port.tmp"), "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    parent, deadline = os.getppid(), time.time() + 3600
    while time.time() < deadline and os.getppid() == parent:
        time.sleep(2)


if __name__ == "__main__":
    main()
