#include "platform/Processes.h"

#include "platform/Messages.h"
#include "platform/Text.h"

#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

namespace updater {

std::vector<ProcessEntry> ProcessSnapshot() {
  std::vector<ProcessEntry> list;
  UniqueHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return list;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = ::Process32FirstW(snap.Get(), &pe); ok; ok = ::Process32NextW(snap.Get(), &pe))
    list.push_back({Narrow(pe.szExeFile), pe.th32ProcessID});
  return list;
}

UniqueHandle StartProgram(std::string_view commandLine, StartMode mode) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = mode == StartMode::Hidden ? SW_HIDE : SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = Wide(commandLine);
  const DWORD flags = mode == StartMode::Hidden    ? 0
                      : mode == StartMode::Console ? CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS
                                                   : DETACHED_PROCESS | NORMAL_PRIORITY_CLASS;
  const BOOL inherit = mode == StartMode::Detached;
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr, &si, &pi)) return UniqueHandle();
  ::CloseHandle(pi.hThread);
  return UniqueHandle(pi.hProcess);
}

bool OpenWithShell(std::string_view path, std::string_view parameters, std::string_view folder, int show, std::string_view verb) {
  const std::wstring v = Wide(verb), p = Wide(path), a = Wide(parameters), f = Wide(folder);
  const auto r = reinterpret_cast<INT_PTR>(::ShellExecuteW(::GetActiveWindow(), verb.empty() ? nullptr : v.c_str(), p.c_str(),
                                                           a.empty() ? nullptr : a.c_str(), f.empty() ? nullptr : f.c_str(), show));
  return r > 32;
}

int32_t StartAndWait(std::string_view commandLine, StartMode mode, int32_t waitMode) {
  const UniqueHandle process = StartProgram(commandLine, mode);
  if (!process) return -1;
  DWORD code = STILL_ACTIVE;
  if (waitMode == 0) {
    ::WaitForSingleObject(process.Get(), INFINITE);
  } else if (waitMode < 0) {
    // Every 200 ms the window's messages run; the wait on the child ends early when it ends.
    while (::GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE) {
      ProcessPendingMessages();
      ::WaitForSingleObject(process.Get(), 200);
    }
  } else {
    ::WaitForSingleObject(process.Get(), static_cast<DWORD>(waitMode));
  }
  ::GetExitCodeProcess(process.Get(), &code);
  return static_cast<int32_t>(code);
}

bool IsRunning(std::string_view exeName, uint32_t pid) {
  for (const ProcessEntry& p : ProcessSnapshot())
    if (::CompareStringOrdinal(Wide(p.exeName).c_str(), -1, Wide(exeName).c_str(), -1, TRUE) == CSTR_EQUAL &&
        (pid == 0 || p.pid == pid))
      return true;
  return false;
}

std::optional<std::string> ProcessEnvironmentValue(std::string_view name) {
  const std::wstring wname = Wide(name);
  const DWORD n = ::GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(wname.c_str(), value.data(), n);
  if (got == 0 || got >= n) return std::nullopt;
  value.resize(got);
  return Narrow(value);
}

TerminationAnswer TerminateAndWait(uint32_t pid, uint32_t waitMs, int waits) {
  UniqueHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
  ::TerminateProcess(process.Get(), 0);
  TerminationAnswer answer;
  for (int i = 0; i < waits && answer.wait == WAIT_TIMEOUT; ++i) {
    answer.wait = ::WaitForSingleObject(process.Get(), waitMs);
    if (answer.wait == WAIT_TIMEOUT) ProcessPendingMessages();
  }
  answer.error = ::GetLastError();
  return answer;
}

std::vector<std::string> ProcessModulePaths(uint32_t pid, size_t limit) {
  std::vector<std::string> paths;
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return paths;
  std::vector<HMODULE> modules(1024);
  DWORD needed = 0;
  const bool readable = ::EnumProcessModules(process.Get(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed);
  const size_t count = needed / sizeof(HMODULE);
  if (!readable || count == 0 || count > limit) return paths;
  for (size_t i = 0; i < count && i < modules.size(); ++i) {
    wchar_t path[MAX_PATH * 2] = {};
    if (::GetModuleFileNameExW(process.Get(), modules[i], path, MAX_PATH * 2)) paths.push_back(Narrow(path));
  }
  return paths;
}

std::optional<std::string> ExpandEnvironmentText(std::string_view text) {
  const std::wstring raw = Wide(text);
  std::wstring expanded(::ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0), L'\0');
  const DWORD n = expanded.empty() ? 0 : ::ExpandEnvironmentStringsW(raw.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  if (n == 0 || n > expanded.size()) return std::nullopt;
  expanded.resize(n - 1);  // without its terminating zero
  return Narrow(expanded);
}

bool RunsUnderWow64() {
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto call = reinterpret_cast<IsWow64>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return call && call(::GetCurrentProcess(), &wow64) && wow64;
}

std::string MainWindowTitleOf(uint32_t pid) {
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

}  // namespace updater
