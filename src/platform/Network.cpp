#include "platform/Network.h"

#include <cstdio>

#include "platform/Text.h"

#include <winsock2.h>
#include <wininet.h>

namespace updater {
namespace {

// Winsock is started for a look-up and ended with it, on every path.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) ::WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &size) ? Narrow(std::wstring_view(name, size)) : std::string{};
}

std::vector<std::string> HostAddresses() {
  std::vector<std::string> addresses;
  const WinsockSession winsock;
  if (!winsock.Started()) return addresses;
  char host[64] = {};
  if (::gethostname(host, sizeof host) != 0) return addresses;
  if (const hostent* h = ::gethostbyname(host); h && h->h_addrtype == AF_INET)
    for (char** a = h->h_addr_list; *a; ++a) {
      const auto* b = reinterpret_cast<const unsigned char*>(*a);
      char text[16];
      std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
      addresses.emplace_back(text);
    }
  return addresses;
}

ConnectionState SystemConnectionState() {
  DWORD flags = 0;
  ConnectionState state;
  state.answered = ::InternetGetConnectedState(&flags, 0) != 0;
  state.offline = (flags & INTERNET_CONNECTION_OFFLINE) != 0;
  return state;
}

}  // namespace updater
