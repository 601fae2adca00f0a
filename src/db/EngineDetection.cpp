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

bool UnderWow64() {
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto call = reinterpret_cast<IsWow64>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return call && call(::GetCurrentProcess(), &wow64) && wow64;
}

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

// The first window without a parent that belongs to the process and has a title.
std::string MainWindowTitle(DWORD pid) {
  for (HWND w = ::FindWindowW(nullptr, nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner != pid || ::GetParent(w)) continue;
    wchar_t title[255] = {};
    ::SendMessageTimeoutW(w, WM_GETTEXT, 255, reinterpret_cast<LPARAM>(title), SMTO_ABORTIFHUNG, 2000, nullptr);
    if (title[0]) return Narrow(title);
  }
  return {};
}

std::string RemoveAllIgnoringCase(std::string text, const std::string& what) {
  for (size_t at; (at = ToLowerAscii(text).find(ToLowerAscii(what))) != std::string::npos;) text.erase(at, what.size());
  return text;
}

}  // namespace

void DetectInstalledEngines(std::array<bool, 2>& installed, std::array<bool, 2>& installed64) {
  const bool wow64 = UnderWow64();
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
    const std::string title = MainWindowTitle(entry.pid);
    if (!title.empty()) return ServerNameFromTitle(title);
  }
  return {};
}

}  // namespace updater
