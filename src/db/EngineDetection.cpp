#include "db/EngineDetection.h"

#include <vector>

#include "core/PathText.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Text.h"


namespace updater {
namespace {

constexpr const char* kVersions[2] = {"12", "17"};
constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void Pass(std::array<bool, 2>& installed, std::array<bool, 2>& installed64, REGSAM view, bool second) {
  for (const std::string& sub : RegistrySubKeys(HKEY_LOCAL_MACHINE, kUninstall, view)) {
    if (sub.empty() || sub[0] != '{') continue;
    const std::string display = ToUpperAscii(Trim(ReadRegistryString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + sub, "DisplayName", view)));
    if (display.empty()) continue;
    for (int version : {1, 0}) {
      const size_t v = static_cast<size_t>(version);
      if (second ? installed64[v] : installed[v]) continue;
      const std::string base = std::string("SQL ANYWHERE ") + kVersions[v];
      const bool match = display == base || display == base + " DEPLOYMENT" || (second && display == base + " DEPLOYMENT_64BIT");
      if (!match) continue;
      installed[v] = true;
      if (second && display.find("_64BIT") != std::string::npos) installed64[v] = true;
      break;
    }
  }
}

std::string RemoveAllIgnoringCase(std::string text, const std::string& what) {
  for (size_t at; (at = ToLowerAscii(text).find(ToLowerAscii(what))) != std::string::npos;) text.erase(at, what.size());
  return text;
}

}  // namespace

void DetectInstalledEngines(std::array<bool, 2>& installed, std::array<bool, 2>& installed64) {
  const bool wow64 = RunsUnderWow64();
  Pass(installed, installed64, wow64 ? KEY_WOW64_32KEY : 0, false);
  if (wow64) Pass(installed, installed64, KEY_WOW64_64KEY, true);
}

std::string ServerNameFromTitle(std::string title) {
  title = RemoveAllIgnoringCase(title, " - SQL Anywhere Network Server");
  title = RemoveAllIgnoringCase(title, " - SQL Anywhere 네트워크 서버");
  return Trim(title);
}

std::string FindRunningNetworkServer() {
  for (const ProcessEntry& entry : ProcessSnapshot()) {
    if (entry.pid == 0) continue;
    if (!EqualsIgnoreCase(entry.exeName, "dbsrv12.exe") && !EqualsIgnoreCase(entry.exeName, "dbsrv17.exe")) continue;
    const std::string title = MainWindowTitleOf(entry.pid);
    if (!title.empty()) return ServerNameFromTitle(title);
  }
  return {};
}

}  // namespace updater
