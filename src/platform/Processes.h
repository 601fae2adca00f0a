#pragma once
// Starting programs and waiting for them, and asking which programs run.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Handles.h"

namespace updater {

struct ProcessEntry {
  std::string exeName;  // as the snapshot reports it
  uint32_t pid = 0;
};
std::vector<ProcessEntry> ProcessSnapshot();

enum class StartMode {
  Detached,  // shown normally, no console, inheriting handles
  Console,   // shown normally in a new console
  Hidden,    // hidden, inheriting nothing
};
// Starts a program from its command line alone. Empty when it could not be started.
UniqueHandle StartProgram(std::string_view commandLine, StartMode mode);

// Opens a file with the shell (the "open" verb, or the default one when verb is empty); nothing
// waits for it. False when the shell refused.
bool OpenWithShell(std::string_view path, std::string_view parameters = {}, std::string_view folder = {},
                   int show = SW_SHOWNORMAL, std::string_view verb = "open");

// Exit code of the child; -1 when it could not be started. waitMode 0 waits without limit, a
// negative value polls every 200 ms keeping windows alive, a positive value waits at most that
// many milliseconds (259 when the time ran out and the child still runs).
int32_t StartAndWait(std::string_view commandLine, StartMode mode, int32_t waitMode);

// A process whose executable name matches (any case) and whose id matches (0: any).
bool IsRunning(std::string_view exeName, uint32_t pid = 0);

// Terminates a process and waits for it to end: up to `waits` waits of waitMs each, pending
// window messages processed between them. Answers the last wait's result and the system's error
// code after it.
struct TerminationAnswer {
  DWORD wait = WAIT_TIMEOUT;
  DWORD error = 0;
};
TerminationAnswer TerminateAndWait(uint32_t pid, uint32_t waitMs, int waits);
// The paths of the modules a process has loaded; none when the process cannot be read or holds more
// than limit modules.
std::vector<std::string> ProcessModulePaths(uint32_t pid, size_t limit);

// A text with its %NAME% references expanded from this process's environment, read whole however
// long; none when the system cannot expand it.
std::optional<std::string> ExpandEnvironmentText(std::string_view text);

// Whether this 32-bit process runs on a 64-bit Windows.
bool RunsUnderWow64();
// The title of the first window without a parent that belongs to the process and has one; empty
// when none has (a window that hangs is given 2 s).
std::string MainWindowTitleOf(uint32_t pid);

// A variable of this process's environment; none when it is not set.
std::optional<std::string> ProcessEnvironmentValue(std::string_view name);

}  // namespace updater
