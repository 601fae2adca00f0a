#pragma once
// TUpdateRun: the one update run of the process, from its preparation (the main window's creation
// handler) to its close steps. The main window is only its view: it starts the run on its timer
// and shows what the run tells it. A test drives the run through a view of its own.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "deploy/Passes.h"
#include "core/RunState.h"
#include "db/ClinicTables.h"
#include "db/TsQuery.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

// What the run needs of the main window besides the passes' view.
class MainView : public PassView, public ToolWindow {
 public:
  // Caption, total progress maximum and file count of a tool; installs the total progress step.
  virtual void PrepareToolProgress(const std::string& toolPath, size_t fileCount) = 0;
  virtual void SetTotalProgress(int position) = 0;
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  // Enables the 100 ms timer whose first tick starts the run.
  virtual void StartRunTimer() = 0;
  // Ends the message loop: the application terminates.
  virtual void Quit() = 0;
};

class TUpdateRun {
 public:
  // Holds what it is given; does nothing on the machine until its steps are called.
  TUpdateRun(std::vector<std::string> args, Ui& ui, Clock& clock, MainView& view, Database& db);
  ~TUpdateRun();
  TUpdateRun(const TUpdateRun&) = delete;
  TUpdateRun& operator=(const TUpdateRun&) = delete;

  // The main window's creation handler: start lines, command line, process stop, cleanup, query
  // object, registered IP, and the start timer.
  void FormCreate();
  void RunUpdateTools();
  bool ConfirmToolRun(bool runNow);
  // Hides the window and runs the close steps, once.
  void Close();
  void RelaunchCaller(const std::string& program);
  // The main window's destruction handler: the search path entries, then the query object goes.
  void FormDestroy();
  // The session really ends: copies stop and no further tool is loaded.
  void SessionEnding() { run_.Terminating = true; }
  // The run-wide lists and flags, from program start to program end.
  RunState& State() { return run_; }

  // State of the run that the close steps read (the main window's fields).
  std::unique_ptr<TtsQuery> Query;
  std::string CallerProgram;
  std::string UserId;
  bool UpdateOk = false;
  bool Cancelled = false;
  PcIdentity Pc;  // this PC as the clinic database knows it, looked up once at the start
  bool IsTool08 = false;

 private:
  using ScanErrors = std::map<std::string, std::string>;  // tool -> why its pre-scan failed
  struct Approval {  // the last refused run approval that no later one made good
    bool failed = false;
    int32_t code = 0;
    std::string text;
  };
  std::vector<std::string> ToolList();
  void PreScan(const std::vector<std::string>& tools, ScanErrors& scanErrors);
  bool DecideRunNow();
  // False when the run ends here (a failed load).
  bool RunTool(const std::string& tool, const ScanErrors& scanErrors, Approval& approval);
  void FormClose();

  std::vector<std::string> args_;
  Ui& ui_;
  Clock& clock_;
  Database& db_;
  RunState run_;
  MainView& view_;
  bool closing_ = false;
};

}  // namespace updater
