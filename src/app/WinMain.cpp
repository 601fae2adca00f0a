// Program entry: decides whether this process may run, then runs the one main window.
#include <exception>

#include "app/Main.h"
#include "app/StartupRules.h"
#include "app/UpdateByPass.h"
#include "app/UpdateRun.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "db/Database.h"
#include "db/DatabaseChecks.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Ui.h"

#include <shellapi.h>

using namespace updater;

namespace {

constexpr wchar_t kInstanceName[] = L"업데이트";

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Narrow(argv[i]));
  if (argv) ::LocalFree(argv);
  return args;
}

// Another program's "TApplication" window titled like ours is brought to the front.
void ActivateOtherInstance() {
  HWND other = ::FindWindowW(L"TApplication", kInstanceName);
  if (!other) return;
  ::SetWindowTextW(other, kInstanceName);
  other = ::FindWindowW(L"TApplication", kInstanceName);
  if (!other) return;
  ::SetForegroundWindow(other);
  ::ShowOwnedPopups(other, TRUE);
  ::ShowWindow(other, SW_SHOWNORMAL);
}

int RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (IsReservedOwnName(OwnExecutablePath())) return 0;
  // The only real Clock of the process, and the run log with it: from here on the day's run log
  // file is written back whatever path ends the program.
  Clock& clock = SystemClock();
  ProcessRunLog runLog(clock);
  // The only real Ui; the one idle monitor lives as long as the program.
  TCheckIdleTime checkIdleTime(clock);
  DesktopUi ui(instance, checkIdleTime);
  Database db(ui, clock, IsServerInfoProgram(OwnExecutablePath()));

  bool usable = false;
  try {
    db.Prepare();
    usable = StartupDatabaseGate(true, db);
  } catch (const std::exception& e) {
    ui.Error(e.what());
    return 1;
  }
  if (!usable) return 0;

  OwnedMutex mutex(::CreateMutexW(nullptr, TRUE, kInstanceName));
  if (!mutex || ::GetLastError() != ERROR_SUCCESS) {
    ActivateOtherInstance();
    return 0;
  }
  if (::FindWindowW(L"TApplication", kInstanceName)) return 0;

  try {
    TfmMain fmMain(instance);
    TUpdateRun run(CommandLineArguments(), ui, clock, fmMain, db);
    fmMain.Attach(run);
    run.FormCreate();
    const int code = RunMessageLoop();
    run.FormDestroy();
    return code;
  } catch (const std::exception& e) {
    LogLine(std::string("업데이트 툴 실행 에러(") + e.what() + ")", true);
    return 1;
  }
}
