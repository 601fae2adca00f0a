#include "package/NetworkIdentity.h"

#include <array>
#include <cstdio>

#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "db/Dialect.h"
#include "env/FileVersion.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
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

TMDate::TMDate(Clock& clock) {
  // The product's date object also sets the process's display formats; nothing here reads them.
  const LocalTime now = clock.Now();
  year_ = now.year;
  month_ = now.month;
  day_ = now.day;
}

std::string TMDate::Text() const {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year_, month_, day_);
  return text;
}

namespace {

// Both hosts are ours to choose; tests point them at a server of their own.
constexpr const char* kReportBase = "http://2dbarcode.quorix.example";
constexpr const char* kEchoPage = "http://checkip.quorix.example/";
constexpr const char* kReportPath = "/QUORIX/ClientApp/2DBarCode/SV_2DBarCode2.aspx?";

std::string Setting(const wchar_t* variable, const char* fallback) {
  wchar_t value[512] = {};
  return ::GetEnvironmentVariableW(variable, value, 512) ? Narrow(value) : std::string(fallback);
}

// The client product's own programs; the 4th and the 6th report until the later date.
constexpr std::array<const char*, 16> kProductPrograms = {
    "Cvl.exe",      "Dovrane.exe",   "Pellan.exe",     "CvlChart.exe",  "Halcyra.exe",   "CvlReserve.exe",
    "Truvial.exe",  "TXOrvex.exe",   "Pelvane.exe",    "FX4Runner.exe", "CvlTernClient.exe", "CvlSign.exe",
    "CvlImage.exe", "CvlLumora.exe", "CvlMessage.exe", "Cvl.Sentra.Main.exe"};

}  // namespace

std::string ExternalIp() {
  if (!InternetAvailable()) return {};
  try {
    std::string page = ToUpperAscii(Trim(HttpRequest(Setting(L"UPDATER_ECHO_URL", kEchoPage))));
    if (const size_t end = page.find("</BODY>"); end != std::string::npos) page.resize(end);
    if (const size_t start = page.find("<BODY>"); start != std::string::npos) page.erase(0, start + 6);
    std::string address;
    for (char c : page)
      if ((c >= '0' && c <= '9') || c == '.') address += c;
    return address;
  } catch (const std::exception&) {
    return {};  // specified: an error of the request gives no address
  }
}

std::string ReportCutOffDate(const std::string& executableName) {
  return EqualsIgnoreCase(executableName, kProductPrograms[3]) || EqualsIgnoreCase(executableName, kProductPrograms[5])
             ? "2024-06-30"
             : "2024-04-30";
}

std::string RunReportBody(const std::string& name, const std::string& value) {
  std::string n = ToAnsi(name), v = ToAnsi(value);
  if (n.size() >= 50) n = CutToBytes(n, 50);
  if (Wide(value).size() >= 2000) v = CutToBytes(v, 2000);
  return "yoyangNum=" + n + "&" + "barType=" + v;  // as assembled: no further encoding
}

bool SendRunReport(TtsQuery& query, Clock& clock, const std::string& name, const std::string& text, bool withProgram) {
  const std::string self = OwnExecutablePath();
  if (!InternetAvailable() || TMDate(clock).Text() > ReportCutOffDate(FileNamePart(self))) return true;
  if (Trim(text).empty() || query.IsPostgreSql()) return true;  // the statements below are SQL Anywhere's
  try {
    std::string program;
    if (withProgram) {
      program = FileNamePart(self);
      if (program == "fx4runner.exe") program = "FX4Runner.exe";
      program += "," + VersionText(self, 1);
    }
    std::string machine = DatabaseMachineName(query);
    if (!EqualsIgnoreCase(machine, ComputerName())) machine = ComputerName();
    std::string address = RegisteredLocalAddress(query);
    if (const std::string external = ExternalIp(); !external.empty()) address += "(" + external + ")";
    query.SQL = {"select * from DBA.HOSINFO ", "order by YOYANGNUM; "};
    query.OpenQuery();
    std::string institutions;
    for (; !query.Eof(); query.Next()) institutions += query.FieldText("YOYANGNUM") + "_";
    if (!institutions.empty()) institutions.pop_back();
    const std::string value =
        Trim((withProgram ? institutions + "/" + program + "/" : institutions + "/") + address + "," + machine + "/" + text);
    const std::string answer = HttpRequest(Setting(L"UPDATER_REPORT_BASE", kReportBase) + kReportPath,
                                           "application/x-www-form-urlencoded", RunReportBody(name, value));
    return ToUpperAscii(Trim(answer)) == "+OK";
  } catch (const std::exception& e) {
    LogLine("    → " + BracketedErrorText("SendRunReport", e.what()));
    return false;
  }
}

}  // namespace updater
