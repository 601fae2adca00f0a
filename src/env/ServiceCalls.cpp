#include "env/ServiceCalls.h"

#include <cstdio>

#include "env/ClientFolders.h"
#include "env/PathText.h"
#include "platform/Win.h"

namespace updater {
namespace {

std::string ReadIni(const std::string& file, const char* section, const std::string& key, const char* fallback) {
  wchar_t buf[2048];
  ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(fallback).c_str(), buf, 2048, Wide(file).c_str());
  return Narrow(buf);
}

void WriteIni(const std::string& file, const char* section, const std::string& key, const std::string& value) {
  ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(), Wide(file).c_str());
}

}  // namespace

std::string HistoryFilePath(bool tool08) { return InstallRoot() + (tool08 ? "UpdaterChart.ini" : "Updater.ini"); }

void RecordHistory(bool tool08, std::string_view toolPath, std::string_view toolVersion, std::string_view flag, Clock& clock) {
  const std::string file = HistoryFilePath(tool08);
  const std::string key = FileNamePart(toolPath);
  const std::string upper = ToUpperAscii(flag);
  if (upper == "Y" || upper == "N") {
    const LocalTime t = clock.Now();
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", t.year, t.month, t.day);
    WriteIni(file, "HISTORY", key, std::string(flag) + "," + date);
    if (upper == "Y" && toolVersion.compare(ReadIni(file, "LATESTTOOL", "RUNVER", "0.0.0.0")) > 0)  // as text
      WriteIni(file, "LATESTTOOL", "RUNVER", std::string(toolVersion));
  } else if (upper.compare(0, 5, "VEROZ") == 0) {
    WriteIni(file, "PREVTOOL", key, std::string(flag));
  }
}

// The agent call is not built yet: nothing is sent.
void ReportResult(bool /*tool08*/, std::string_view /*toolVersion*/, int /*result*/) {}

std::string ReadRunVersion(bool tool08) { return ReadIni(HistoryFilePath(tool08), "LATESTTOOL", "RUNVER", "0.0.0.0"); }

}  // namespace updater
