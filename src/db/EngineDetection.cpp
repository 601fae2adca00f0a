#include "db/EngineDetection.h"

#include <vector>

#include "core/PathText.h"
#include "db/DbProvider.h"
#include "platform/Handles.h"
#include "platform/Settings.h"
#include "platform/Text.h"

#include <tlhelp32.h>

namespace updater {
namespace {

constexpr const char* kVersions[2] = {"12", "17"};
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool UnderWow64() {
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto call = reinterpret_cast<IsWow64>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return call && call(::GetCurrentProcess(), &wow64) && wow64;
}

std::vector<std::wstring> SubKeys(REGSAM view) {
  std::vector<std::wstring> names;
  RegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    const LONG r = ::RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  return names;
}

void Pass(REGSAM view, bool second) {
  DbState& db = Db();
  for (const std::wstring& sub : SubKeys(view)) {
    if (sub.empty() || sub[0] != L'{') continue;
    const std::string display = ToUpperAscii(Trim(ReadRegistryString(HKEY_LOCAL_MACHINE, Narrow(kUninstall + sub), "DisplayName", view)));
    if (display.empty()) continue;
    for (int version : {1, 0}) {
      const size_t v = static_cast<size_t>(version);
      if (second ? db.installed64[v] : db.installed[v]) continue;
      const std::string base = std::string("SQL ANYWHERE ") + kVersions[v];
      const bool match = display == base || display == base + " DEPLOYMENT" || (second && display == base + " DEPLOYMENT_64BIT");
      if (!match) continue;
      db.installed[v] = true;
      if (second && display.find("_64BIT") != std::string::npos) db.installed64[v] = true;
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

void DetectInstalledEngines() {
  const bool wow64 = UnderWow64();
  Pass(wow64 ? KEY_WOW64_32KEY : 0, false);
  if (wow64) Pass(KEY_WOW64_64KEY, true);
}

std::string ServerNameFromTitle(std::string title) {
  title = RemoveAllIgnoringCase(title, " - SQL Anywhere Network Server");
  title = RemoveAllIgnoringCase(title, " - SQL Anywhere 네트워크 서버");
  return Trim(title);
}

std::string FindRunningNetworkServer() {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == 0) continue;
    const std::string exe = Narrow(entry.szExeFile);
    if (!EqualsIgnoreCase(exe, "dbsrv12.exe") && !EqualsIgnoreCase(exe, "dbsrv17.exe")) continue;
    const std::string title = MainWindowTitle(entry.th32ProcessID);
    if (!title.empty()) return ServerNameFromTitle(title);
  }
  return {};
}

}  // namespace updater
