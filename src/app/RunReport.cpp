#include "app/RunReport.h"

#include <array>
#include <cstdio>

#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "db/DatabaseChecks.h"
#include "env/FileVersion.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/Processes.h"
#include "platform/Text.h"

namespace updater {

TMDate::TMDate(Clock& clock) {
  // Only the date is kept: no text of this program is formatted by the process's date formats.
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

std::string Setting(const char* variable, const char* fallback) { return ProcessEnvironmentValue(variable).value_or(fallback); }

// The client product's own programs; the 4th and the 6th report until the later date.
constexpr std::array<const char*, 16> kProductPrograms = {
    "Cvl.exe",      "Dovrane.exe",   "Pellan.exe",     "CvlChart.exe",  "Halcyra.exe",   "CvlReserve.exe",
    "Truvial.exe",  "TXOrvex.exe",   "Pelvane.exe",    "FX4Runner.exe", "CvlTernClient.exe", "CvlSign.exe",
    "CvlImage.exe", "CvlLumora.exe", "CvlMessage.exe", "Cvl.Sentra.Main.exe"};

}  // namespace

std::string ExternalIp(const Database& db) {
  if (!InternetAvailable(db)) return {};
  try {
    std::string page = ToUpperAscii(Trim(HttpRequest(Setting("UPDATER_ECHO_URL", kEchoPage))));
    if (const size_t end = page.find("</BODY>"); end != std::string::npos) page.resize(end);
    if (const size_t start = page.find("<BODY>"); start != std::string::npos) page.erase(0, start + 6);
    std::string address;
    for (char c : page)
      if ((c >= '0' && c <= '9') || c == '.') address += c;
    // Only a dotted-quad address: it stands before the failure lines in a report cut to 2000
    // bytes, and anything else would be a wrong address or push them out.
    return IsDottedQuad(address) ? address : std::string();
  } catch (const std::exception&) {
    return {};  // no address is better than a wrong one: the report goes out without it
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

bool SendRunReport(TtsQuery& query, Clock& clock, const PcIdentity& pc, const std::string& name, const std::string& text,
                   bool withProgram) {
  const std::string self = OwnExecutablePath();
  if (!InternetAvailable(query.Db()) || TMDate(clock).Text() > ReportCutOffDate(FileNamePart(self))) return true;
  if (Trim(text).empty() || query.IsPostgreSql()) return true;  // the statements below are SQL Anywhere's
  try {
    std::string program;
    if (withProgram) {
      program = FileNamePart(self);
      if (program == "fx4runner.exe") program = "FX4Runner.exe";
      program += "," + VersionText(self, 1);
    }
    std::string machine = DatabaseMachineName(query);
    if (!EqualsIgnoreCase(machine, pc.computerName)) machine = pc.computerName;
    std::string address = pc.registeredIp;
    if (const std::string external = ExternalIp(query.Db()); !external.empty()) address += "(" + external + ")";
    const std::vector<std::string> numbers = InstitutionNumbers(query);
    std::string institutions;
    for (size_t i = 0; i < numbers.size(); ++i) institutions += (i ? "_" : "") + numbers[i];
    const std::string value =
        Trim((withProgram ? institutions + "/" + program + "/" : institutions + "/") + address + "," + machine + "/" + text);
    const std::string answer = HttpRequest(Setting("UPDATER_REPORT_BASE", kReportBase) + kReportPath,
                                           "application/x-www-form-urlencoded", RunReportBody(name, value));
    return ToUpperAscii(Trim(answer)) == "+OK";
  } catch (const std::exception& e) {
    LogLine("    → " + BracketedErrorText("SendRunReport", e.what()));
    return false;
  }
}

}  // namespace updater
