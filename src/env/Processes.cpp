#include "env/Processes.h"

#include "platform/Text.h"

#include <tlhelp32.h>

#include "core/PathText.h"
#include "core/RunState.h"
#include "platform/Messages.h"
#include "platform/Text.h"

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

UniqueHandle StartProgram(std::string_view commandLine, bool console) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = Wide(commandLine);
  const DWORD flags = (console ? CREATE_NEW_CONSOLE : DETACHED_PROCESS) | NORMAL_PRIORITY_CLASS;
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, console ? FALSE : TRUE, flags, nullptr, nullptr, &si, &pi))
    return UniqueHandle();
  ::CloseHandle(pi.hThread);
  return UniqueHandle(pi.hProcess);
}

int32_t StartAndWait(std::string_view commandLine, bool console, int32_t waitMode) {
  const UniqueHandle process = StartProgram(commandLine, console);
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
    if (EqualsIgnoreCase(p.exeName, exeName) && (pid == 0 || p.pid == pid)) return true;
  return false;
}

std::string RunningHolderText(const RunState& run) {
  std::string names;
  for (const std::string& n : run.RunningHolderList) names += (names.empty() ? "" : ",") + n;
  return "[" + run.RunSummary + "](" + names + ",실행프로세스" + std::to_string(run.RunningHolderList.Size()) + "건)";
}

}  // namespace updater
