#pragma once
// This PC on the network, as the system tells it: its computer name, the IPv4 addresses its host
// name resolves to, and its connection state.
#include <string>
#include <vector>

namespace updater {

std::string ComputerName();
// The IPv4 addresses the host name resolves to, in the resolver's order; none when it does not.
std::vector<std::string> HostAddresses();

// The system's connection state: whether it answered, and whether it says offline.
struct ConnectionState {
  bool answered = false;
  bool offline = false;
};
ConnectionState SystemConnectionState();

}  // namespace updater
