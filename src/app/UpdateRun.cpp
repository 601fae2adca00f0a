// The update run: which tools, whether to ask first, and each tool in turn.
#include <map>
#include <stdexcept>

#include "app/Main.h"
#include "core/RunLog.h"
#include "app/UpdateByPass.h"
#include "core/ClientFolders.h"
#include "env/Installers.h"
#include "core/PathText.h"
#include "env/Processes.h"
#include "env/ServiceCalls.h"
#include "package/Package.h"
#include "core/RunState.h"
#include "env/Termination.h"
#include "package/Updater.h"
#include "platform/Ui.h"
#include "platform/FileSystem.h"

namespace updater {

void TfmMain::RunUpdateTools() {
  RunState& run = Run();
  std::vector<std::string> tools;
  // Without an answer from the service there is nothing to run: the run ends as for an empty list.
  try {
    if (!CallerProgram.empty()) tools = SplitList(AskToolList(IsTool08).reply, ",");
    else tools.push_back(OwnExecutablePath());
  } catch (const std::exception& e) {
    const std::string text = "RunUpdateTools [에러발생(" + std::string(e.what()) + ")]";
    ui_.Error(e.what());
    LogLine(text);
    run.FailureList.Add(text);
    tools.clear();
  }

  std::map<std::string, std::string> scanErrors;  // tool -> why its pre-scan failed
  bool approvalFailed = false;
  int32_t lastCode = 0;
  std::string lastText;
  try {
    if (tools.empty()) {
      LogLine("실행할 업데이트 툴 없음, 업데이트 종료");
      LogLine("");
    } else {
      run.ToolCount = static_cast<int>(tools.size());
      for (size_t i = 0; i < tools.size(); ++i) {
        if (i == 0)
          run.RunSummary = FileNamePart(tools[0]) + ",업데이트" + std::to_string(run.ToolCount) + "개," +
                           BaseName(LatestDataTool(Query.get(), true, true));
        // A damaged tool (a download cut short, say) must not end the run unreported: it is never
        // deployed, and its turn reports it as a failed load.
        try {
          ScanToolOptions(tools[i], TempFolder(), i == 0, IsTool08);
        } catch (const std::exception& e) {
          scanErrors.emplace(tools[i], e.what());
          LogLine("    ScanToolOptions [에러발생(" + std::string(e.what()) + ")]");
        }
      }
      LogLine("");

      run.PackageExeList.Sort();
      run.PackageDllList.Sort();
      StringList found;
      bool holders = FindRunningByName(run.PackageExeList, found);
      if (!holders) holders = FindModuleUsers(run, run.PackageDllList, found) && !found.Empty();
      bool runNow = !holders;
      if (holders) {
        for (const std::string& name : found) run.RunningHolderList.AddUnique(name);
        if (OnlyClosableHolders(run.RunningHolderList)) runNow = true;
      }
      if (!runNow && run.ToolCount >= 8) runNow = true;

      if (ConfirmToolRun(runNow)) {
        for (const std::string& tool : tools) {
          run.KillFailedList.Clear();
          TUpdater updater;
          updater.Tool08 = IsTool08;
          run.CurrentUpdater = &updater;
          struct Release {
            ~Release() { Run().CurrentUpdater = nullptr; }
          } release;
          LogLine("업데이트 툴 자동실행 [" + tool + "]");
          LogLine("업데이트 툴 유효성 검사");
          const ServiceAnswer approval = AskValidity(IsTool08);
          if (approval.result != 0) {
            // The failure line names the refusal that was recorded, not a later communication failure.
            if (!IsCommunicationFailure(approval.result)) {
              approvalFailed = true;
              lastCode = approval.result;
              lastText = Trim(approval.reply).empty() ? ErrorText(approval.result) : approval.reply;
            }
            continue;
          }
          approvalFailed = false;
          if (run.Terminating) continue;
          SetTotalProgress(0);
          try {
            if (const auto damaged = scanErrors.find(tool); damaged != scanErrors.end())
              updater.RefuseLoad(tool, "ScanToolOptions", damaged->second);
            else
              updater.AddUpdater(tool);
            UpdateOk = updater.Success;
            if (!UpdateOk) {
              updater.FinishTool(IsTool08, "UpdateStart");
              break;  // a failed load ends the run
            }
            PrepareToolProgress(tool, updater.UpdateList.size());
            ExecuteBackup(updater, *this);
            ExecuteUpdate(updater, *this, IsTool08);
          } catch (const std::exception& e) {
            const std::string text = "UpdateStart [에러발생(" + std::string(e.what()) + ")]";
            ui_.Error(text);
            LogLine(text);
            run.FailureList.Add(text);
          }
        }
      }
    }
  } catch (const std::exception& e) {
    // Whatever went wrong, the run still ends properly below.
    const std::string text = "RunUpdateTools [에러발생(" + std::string(e.what()) + ")]";
    LogLine(text, true);
    run.FailureList.Add(text);
  }

  if (approvalFailed)
    run.FailureList.Add("업데이트 툴 유효성 검사실패(ErrorCode:" + std::to_string(lastCode) +
                        (Trim(lastText).empty() ? ")" : ", ResultText:" + lastText + ")"));
  ::ShowWindow(window_.Get(), SW_HIDE);
  Close();
}

bool TfmMain::ConfirmToolRun(bool runNow) {
  RunState& run = Run();
  if (!IsTool08 && !run.HiddenRun && !runNow) {
    TfmUpdateByPass dialog(instance_, *checkIdleTime_);
    if (dialog.Execute()) {
      ShowMainWindow();
    } else {
      Cancelled = true;
      std::string line = CallerProgram.empty() ? "사용자툴실행취소(직접실행)" : "사용자툴실행취소(호출실행," + CallerProgram + ")";
      if (!run.RunningHolderList.Empty()) line += RunningHolderText(run);
      LogLine(line);
      LogLine("");
      return false;
    }
  }
  if (CallerProgram.empty() && run.HiddenRun) run.HiddenRun = false;
  if (!run.HiddenRun && runNow) ShowMainWindow();
  return true;
}

}  // namespace updater
