// The update run: which tools, whether to ask first, each tool in turn, and the close steps.
#include "app/UpdateRun.h"

#include <functional>
#include <map>
#include <stdexcept>

#include "app/StartupRules.h"
#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "deploy/Installers.h"
#include "app/RunReport.h"
#include "db/ClinicTables.h"
#include "env/ServiceCalls.h"
#include "env/Termination.h"
#include "deploy/PackageSteps.h"
#include "deploy/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"

namespace updater {

TUpdateRun::TUpdateRun(std::vector<std::string> args, Ui& ui, Clock& clock, MainView& view, Database& db)
    : args_(std::move(args)), ui_(ui), clock_(clock), db_(db), view_(view) {}

TUpdateRun::~TUpdateRun() = default;

void TUpdateRun::FormCreate() {
  const std::string exe = OwnExecutablePath();
  IsTool08 = IsTool08Name(exe);
  LogLine(logform::kRunSeparator);
  LogLine(Fill(logform::kRunStart, {exe, VersionText(exe, 1), VersionText(exe, 0)}));
  CallerProgram = Argument(args_, 1);
  UserId = Argument(args_, 2);
  if (CallerProgram.empty() && UserId.empty()) {
    LogLine(Fill(logform::kManualStart, {exe}));
    LogLine("");
  }
  if (const std::string summary = ParameterSummary(args_); !summary.empty()) {
    LogLine("    " + summary);
    LogLine("");
  }
  view_.ShowFileCountLabels(false);
  StopStartOfRunProcesses(run_);
  StartOfRunCleanup(IsTool08, run_.FailureList);
  Query = CreateQuery(db_);
  Pc = IdentifyThisPc(*Query);
  view_.StartRunTimer();
  Cancelled = false;
}

// Without an answer from the service there is nothing to run: the run ends as for an empty list.
std::vector<std::string> TUpdateRun::ToolList() {
  try {
    if (CallerProgram.empty()) return {OwnExecutablePath()};
    return SplitList(AskToolList(IsTool08).reply, ",");
  } catch (const std::exception& e) {
    ui_.Error(e.what());
    RecordBracketedError(run_.FailureList, "RunUpdateTools", e.what());
    return {};
  }
}

void TUpdateRun::PreScan(const std::vector<std::string>& tools, ScanErrors& scanErrors) {
  run_.ToolCount = static_cast<int>(tools.size());
  for (size_t i = 0; i < tools.size(); ++i) {
    if (i == 0) {
      std::string latest;
      try {
        latest = BaseName(LatestDataTool(*Query, true, true));
      } catch (const std::exception& e) {
        LogLine("    " + BracketedErrorText("LatestDataTool", e.what()));  // the summary goes without it
      }
      run_.RunSummary = FileNamePart(tools[0]) + ",업데이트" + std::to_string(run_.ToolCount) + "개," + latest;
    }
    // A damaged tool (a download cut short, say) must not end the run unreported: it is never
    // deployed, and its turn reports it as a failed load.
    try {
      MergeToolOptions(run_, tools[i], ScanToolOptions(tools[i], TempFolder(), IsTool08, clock_), i == 0);
    } catch (const std::exception& e) {
      scanErrors.emplace(tools[i], e.what());
      LogLine("    " + BracketedErrorText("ScanToolOptions", e.what()));
    }
  }
  LogLine("");
}

bool TUpdateRun::DecideRunNow() {
  run_.PackageExeList.Sort();
  run_.PackageDllList.Sort();
  StringList found;
  bool holders = FindRunningByName(run_.PackageExeList, found);
  if (!holders) holders = FindModuleUsers(run_, run_.PackageDllList, found) && !found.Empty();
  bool runNow = !holders;
  if (holders) {
    for (const std::string& name : found) run_.RunningHolderList.AddUnique(name);
    if (OnlyClosableHolders(run_.RunningHolderList)) runNow = true;
  }
  return runNow || run_.ToolCount >= 8;
}

bool TUpdateRun::RunTool(const std::string& tool, const ScanErrors& scanErrors, Approval& approval) {
  run_.KillFailedList.Clear();
  TUpdater updater(ui_, clock_, run_, db_);  // the current updater, released at the end of its turn
  updater.Tool08 = IsTool08;
  updater.Pc = Pc;
  updater.Window = &view_;
  LogLine(Fill(logform::kToolStart, {tool}));
  LogLine(Fill(logform::kValidityCheck, {}));
  const ServiceAnswer answer = AskValidity(IsTool08);
  if (answer.result != 0) {
    // The failure line names the refusal that was recorded, not a later communication failure.
    if (!IsCommunicationFailure(answer.result)) {
      approval.failed = true;
      approval.code = answer.result;
      approval.text = Trim(answer.reply).empty() ? ErrorText(answer.result) : answer.reply;
    }
    return true;
  }
  approval.failed = false;
  if (run_.Terminating) return true;
  view_.SetTotalProgress(0);
  UpdateOk = false;
  try {
    // The tool's finish step runs once, whatever path ends the tool; its outcome is what the deploy
    // pass answers.
    FinishOnce finish(updater, IsTool08);
    bool loaded = false;
    if (const auto damaged = scanErrors.find(tool); damaged != scanErrors.end())
      updater.RefuseLoad(tool, "ScanToolOptions", damaged->second);
    else
      loaded = updater.AddUpdater(tool);
    if (!loaded) {
      finish(false);
      return false;  // a failed load ends the run
    }
    finish.SetStage("ExecuteUpdate");
    view_.PrepareToolProgress(tool, updater.UpdateList.size());
    const bool backedUp = ExecuteBackup(updater, view_);
    UpdateOk = ExecuteUpdate(updater, view_, backedUp, finish);
  } catch (const std::exception& e) {
    ui_.Error(RecordBracketedError(run_.FailureList, "UpdateStart", e.what()));
  }
  return true;
}

void TUpdateRun::RunUpdateTools() {
  const std::vector<std::string> tools = ToolList();
  Approval approval;
  try {
    if (tools.empty()) {
      LogLine(Fill(logform::kNothingToRun, {}));
      LogLine("");
    } else {
      ScanErrors scanErrors;
      PreScan(tools, scanErrors);
      if (ConfirmToolRun(DecideRunNow()))
        for (const std::string& tool : tools)
          if (!RunTool(tool, scanErrors, approval)) break;
    }
  } catch (const std::exception& e) {
    // Whatever went wrong, the run still ends properly below.
    RecordBracketedError(run_.FailureList, "RunUpdateTools", e.what(), "", true);
  }
  if (approval.failed)
    run_.FailureList.Add("업데이트 툴 유효성 검사실패(ErrorCode:" + std::to_string(approval.code) +
                         (Trim(approval.text).empty() ? ")" : ", ResultText:" + approval.text + ")"));
  Close();
}

bool TUpdateRun::ConfirmToolRun(bool runNow) {
  RunState& run = run_;
  if (!IsTool08 && !run.HiddenRun && !runNow) {
    const DeferralAnswer answer = ui_.ConfirmUpdateNow();
    if (answer == DeferralAnswer::IdleReached) run.FailureList.Add("유휴시간 180분 후, 툴 실행");
    if (answer != DeferralAnswer::Cancel) {
      view_.ShowMainWindow();
    } else {
      Cancelled = true;
      const std::string holders = run.RunningHolderList.Empty() ? "" : RunningHolderText(run);
      LogLine(CallerProgram.empty() ? Fill(logform::kCancelledByHand, {holders})
                                    : Fill(logform::kCancelledFromCaller, {CallerProgram, holders}));
      LogLine("");
      return false;
    }
  }
  if (CallerProgram.empty() && run.HiddenRun) run.HiddenRun = false;
  if (!run.HiddenRun && runNow) view_.ShowMainWindow();
  return true;
}

void TUpdateRun::Close() {
  if (closing_) return;
  closing_ = true;
  view_.HideMainWindow();
  FormClose();
}

void TUpdateRun::FormClose() {
  RunState& run = run_;
  // Each close step that fails is recorded and the close goes on: the caller is started again, the
  // report goes out and the log ends as after any run.
  auto step = [&](const char* name, const std::function<void()>& work) {
    try {
      work();
    } catch (const std::exception& e) {
      RecordBracketedError(run.FailureList, name, e.what(), "    ", true);
    }
  };
  if (!Cancelled && UpdateOk) {
    step("EndOfRunDataTool", [&] { EndOfRunDataTool(run, *Query, Pc.registeredIp, ui_); });
    step("OpenDocuments", [&] { OpenDocumentsStep(run, clock_); });
  }
  std::string joined;
  for (const std::string& line : run.FailureList) joined += (joined.empty() ? "" : "\r\n") + line;
  std::string report;
  if (!Trim(joined).empty()) {
    if (!Cancelled && UpdateOk && !run.FailureList.Contains("정상종료")) {
      run.FailureList.Add("정상종료");
      joined += "\r\n정상종료";
    }
    report = Trim(LineBreaksToBlank(Trim(joined)));
    // The report may not be sent (no internet, past its cut-off date): support reads it here,
    // before the closing line, which stays the last line of the run.
    LogLine("    → " + Fill(logform::kFailureSummary, {report}));
  }
  if (!CallerProgram.empty()) {
    try {
      RelaunchCaller(CallerProgram);
    } catch (const std::exception& e) {
      LogLine("    " + BracketedErrorText("RelaunchCaller", e.what()), true);
    }
  } else {
    LogLine(Fill(logform::kRunEnd, {}));
    LogLine("");
  }
  if (!report.empty()) SendRunReport(*Query, clock_, Pc, "CvlUpdaterErrLog", report, true);
  view_.Quit();
}

void TUpdateRun::RelaunchCaller(const std::string& program) {
  std::string command;
  if (IsTool08) command = CommandPath(program) + (UpdateOk ? "" : " UPDATE_BYPASS");
  else if (program != "Dovrane.exe") command = CommandPath(ExeFolder() + program);
  else command = CommandPath(InstallRoot() + "Drg\\" + program);
  StartProgram(command, StartMode::Detached);  // nothing of the start is checked
}

void TUpdateRun::FormDestroy() {
  AddSearchPathEntries();
  Query.reset();
}

}  // namespace updater
