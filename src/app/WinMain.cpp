// Program entry: decides whether this process may run, then runs the one main window.
#include <cstdio>
#include <exception>

#include "app/Main.h"
#include "app/StartupRules.h"
#include "app/UpdateByPass.h"
#include "app/UpdateRun.h"
#include "core/LogForms.h"
#include "core/PathText.h"
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

// The boxes the database layer shows pass through here, so that a refusal of the start-up gate can
// name its reason in the run log: a log from a clinic then says why nothing ran.
class GateUi final : public Ui {
 public:
  explicit GateUi(Ui& inner) : inner_(inner) {}
  void Information(std::string_view text) override { inner_.Information(text); }
  // The reason is logged before its box shows: a run held at the box, then killed, still says why.
  void Error(std::string_view text) override {
    reasons_ += (reasons_.empty() ? "" : " | ") + LineBreaksToBlank(Trim(text));
    LogLine(BracketedErrorText(logform::kGateStep, LineBreaksToBlank(Trim(text))), true);
    inner_.Error(text);
  }
  bool Confirm(std::string_view text) override { return inner_.Confirm(text); }
  DeferralAnswer ConfirmUpdateNow() override { return inner_.ConfirmUpdateNow(); }
  const std::string& Reasons() const { return reasons_; }

 private:
  Ui& inner_;
  std::string reasons_;
};

// A fault inside a DLL of another product (the constants, crypto or agent DLL) ends the program
// without recovery, but not without a trace: one line naming the fault and its module, the log
// saved, and a box of our own instead of the system's crash dialog.
LONG WINAPI LogUnhandledFault(EXCEPTION_POINTERS* info) {
  try {
    const EXCEPTION_RECORD& r = *info->ExceptionRecord;
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCWSTR>(r.ExceptionAddress), &module))
      ::GetModuleFileNameW(module, path, MAX_PATH);
    char code[64];
    std::snprintf(code, sizeof code, "0x%08lX at 0x%p", static_cast<unsigned long>(r.ExceptionCode), r.ExceptionAddress);
    const std::string where = path[0] ? FileNamePart(Narrow(path)) : std::string("unknown module");
    const std::string line = BracketedErrorText("UnhandledException", std::string(code) + ", " + where);
    LogLine(line, true);
    ::MessageBoxW(nullptr, Wide("업데이트 툴 실행 에러\r\n" + line).c_str(), L"업데이트", MB_OK | MB_ICONERROR | MB_TOPMOST);
  } catch (...) {
    // nothing more can be done for a process that is ending
  }
  return EXCEPTION_EXECUTE_HANDLER;
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
  ::SetUnhandledExceptionFilter(LogUnhandledFault);
  // The only real Ui; the one idle monitor lives as long as the program.
  TCheckIdleTime checkIdleTime(clock);
  DesktopUi ui(instance, checkIdleTime);
  GateUi databaseUi(ui);
  Database db(databaseUi, clock, IsServerInfoProgram(OwnExecutablePath()));

  bool usable = false;
  try {
    db.Prepare();
    usable = StartupDatabaseGate(true, db);
  } catch (const std::exception& e) {
    LogLine(BracketedErrorText(logform::kGateStep, LineBreaksToBlank(e.what())), true);
    ui.Error(e.what());
    return 1;
  }
  if (!usable) {
    if (databaseUi.Reasons().empty()) LogLine(BracketedErrorText(logform::kGateStep, "no connection"), true);
    return 0;
  }

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
    LogLine(Fill(logform::kRunError, {e.what()}), true);
    return 1;
  }
}
