#include "package/NetworkIdentity.h"

#include <cstdio>

#include "db/Dialect.h"
#include "platform/Settings.h"
#include "platform/Text.h"

#include <winsock2.h>
#include <wininet.h>

namespace updater {

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &size) ? Narrow(std::wstring_view(name, size)) : std::string{};
}

std::vector<std::string> HostAddresses() {
  std::vector<std::string> addresses;
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) return addresses;
  char host[64] = {};
  if (::gethostname(host, sizeof host) == 0) {
    if (const hostent* h = ::gethostbyname(host); h && h->h_addrtype == AF_INET)
      for (char** a = h->h_addr_list; *a; ++a) {
        const auto* b = reinterpret_cast<const unsigned char*>(*a);
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        addresses.emplace_back(text);
      }
  }
  ::WSACleanup();
  return addresses;
}

std::string FirstHostAddress() {
  const std::vector<std::string> addresses = HostAddresses();
  return addresses.empty() ? std::string{} : addresses.front();
}

std::string RegisteredLocalAddress(TtsQuery& query) {
  for (const std::string& address : HostAddresses()) {
    query.SQL = {"select * from PCINFO", "where IPADDR = " + QuotedLiteral(address)};
    query.OpenQuery();
    if (!query.Eof()) return address;
  }
  return {};
}

std::vector<std::string> PcIds(TtsQuery& query) {
  std::vector<std::string> ids;
  const std::vector<std::string> addresses = HostAddresses();
  if (addresses.empty()) return ids;
  query.SQL = {"SELECT PCID FROM PCINFO ", "WHERE "};
  for (size_t i = 0; i < addresses.size(); ++i) query.SQL.push_back((i ? "OR IPADDR = " : "IPADDR = ") + QuotedLiteral(addresses[i]));
  query.OpenQuery();
  for (; !query.Eof(); query.Next()) ids.push_back(query.FieldText(0));
  return ids;
}

std::string DatabaseMachineName(TtsQuery& query) {
  query.SQL = {"SELECT PROPERTY('MachineName'); "};
  query.OpenQuery();
  return query.Eof() ? std::string{} : query.FieldText(0);
}

bool InternetAvailable() {
  // Named without a folder: the profile functions look in the Windows folder.
  if (ReadIniInteger("CVL2000.ini", "ISINTERNET", "DO NOT CHECK INTERNET", 0) == 1) return true;
  DWORD flags = 0;
  ::InternetGetConnectedState(&flags, 0);
  return !(flags & INTERNET_CONNECTION_OFFLINE);
}

TMDate::TMDate() {
  // The product's date object sets the process's formats; the program reads none of them back.
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  year_ = now.wYear;
  month_ = now.wMonth;
  day_ = now.wDay;
}

std::string TMDate::Text() const {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year_, month_, day_);
  return text;
}

// Stub until the HTTP report is built: nothing is posted.
bool SendRunReport(TtsQuery&, const std::string&, const std::string&, bool) { return true; }

}  // namespace updater
