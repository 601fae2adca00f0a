#include "deploy/Updater.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "core/VersionRules.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "env/ServiceCalls.h"
#include "env/Termination.h"
#include "deploy/PackageSteps.h"
#include "platform/ReplacingFile.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "platform/Ui.h"

namespace updater {

TUpdater::TUpdater(Ui& ui, Clock& clock, RunState& run, Database& db)
    : ui(ui), clock(clock), run(run), Query(CreateQuery(db)) {}
TUpdater::~TUpdater() = default;

std::string ReadFixedFileVersion(const std::string& path) {
  const std::string v = NumericVersion(path);
  if (v.empty()) throw std::runtime_error("No version information in \"" + path + "\"");
  return v;
}

bool TUpdater::AddUpdater(const std::string& toolPath) {
  LogLine(Fill(logform::kToolLoad, {toolPath}));
  ToolPath = toolPath;
  std::string task, currentFile;
  try {
    task = "GetToolFileVersion";
    try {
      ToolVersion = ReadFixedFileVersion(toolPath);
    } catch (const std::exception&) {
      ToolVersion = NumericVersion(toolPath);
    }
    task = "CreateDirectoryForUpdaterFiles";
    const std::string staging = CreateStagingFolder(toolPath);
    task = "ClearUpdateListFromResource";
    ResourceList.clear();
    task = "LoadFileFromResource";
    try {
      ExtractPackage(toolPath, staging, run.PrevToolList, ResourceList, currentFile);
    } catch (const std::exception&) {
      // once more; records of the first try stay
      ExtractPackage(toolPath, staging, run.PrevToolList, ResourceList, currentFile);
    }
    task = "ProcessPrevTool";
    if (!CheckPrevTool(*this)) return false;
    task = "ClearUpdateList";
    UpdateList.clear();
    task = "LoadFilesFromDirectory";
    BuildUpdateList(staging);
    return true;
  } catch (const std::exception& e) {
    if (task == "GetToolFileVersion") task += "(" + toolPath + ")";
    else if (task == "LoadFileFromResource")
      task += currentFile.empty() ? "(" + toolPath + ")" : "(" + toolPath + "," + currentFile + ")";
    FailLoad(task, e.what());
    return false;
  }
}

void TUpdater::RefuseLoad(const std::string& toolPath, const std::string& task, const std::string& message) {
  LogLine(Fill(logform::kToolLoad, {toolPath}));
  ToolPath = toolPath;
  ToolVersion = NumericVersion(toolPath);
  FailLoad(task + "(" + toolPath + ")", message);
}

void TUpdater::FailLoad(const std::string& task, const std::string& message) {
  RecordLoadError(run.FailureList, message, task);
}

void TUpdater::BuildUpdateList(const std::string& stagingFolder) {
  std::vector<std::string> found;
  ListFilesInto(stagingFolder, "*.*", {.recurse = true, .enterHidden = false}, found);
  StringList exes, dlls;
  for (const std::string& path : found) {
    const std::string lower = ToLowerAscii(FileNamePart(path));
    switch (ClassifyStagedFileName(lower)) {
      case NameClass::Dll: dlls.Add(lower); break;
      case NameClass::Exe: exes.Add(lower); break;
      case NameClass::None: break;
    }
  }
  if (!exes.Empty()) {
    LogLine(Fill(logform::kKillExeList, {}));
    TerminateProcessesByName(run, exes, false, true);
  }
  if (!dlls.Empty()) TerminateModuleUsers(run, dlls, true);
  LogLine(Fill(logform::kFileList, {std::to_string(found.size())}));
  // Each staged file's record, the first of its name, found by index: a package of many files is
  // listed in linear time.
  std::map<std::string, int32_t> recordOf;
  for (size_t i = 0; i < ResourceList.size(); ++i) recordOf.emplace(ToLowerAscii(ResourceList[i].FileName), static_cast<int32_t>(i));
  for (size_t i = 0; i < found.size(); ++i) {
    try {
      TUpdateFile f;
      f.StagingPath = found[i];
      f.FileName = FileNamePart(found[i]);
      f.DotlessVersion = StagedDotless(VersionText(found[i], 1));
      f.Size = FileSize(found[i]);
      const auto record = recordOf.find(ToLowerAscii(f.FileName));
      f.ResourceIndex = record == recordOf.end() ? -1 : record->second;
      UpdateList.push_back(f);
      LogLine("    " + Fill(logform::kListed, {std::to_string(i + 1), f.StagingPath, f.DotlessVersion, FileSizeText(f.Size)}));
    } catch (const std::exception& e) {
      // Logged too, before the box holds the run: support finds it in the log.
      ui.Error(RecordBracketedError(run.FailureList, "LoadFilesFromDirectory", e.what(), "    "));
    }
  }
  LogLine("");
}

const TUpdateFileResource& TUpdater::ResourceOf(const TUpdateFile& file) const {
  if (file.ResourceIndex < 0 || static_cast<size_t>(file.ResourceIndex) >= ResourceList.size())
    throw std::runtime_error("No package record for \"" + file.FileName + "\"");
  return ResourceList[static_cast<size_t>(file.ResourceIndex)];
}

void TUpdater::FinishTool(bool ok, bool recordVersion, const std::string& stageName) {
  bool failed = false;
  try {
    if (run.Terminating) {
      RecordFailure(run.FailureList,
                    Fill(logform::kTerminated, {FileNamePart(ToolPath), stageName.empty() ? "" : "_" + stageName, run.RunSummary}));
    } else if (ok) {
      Report(0);
      RecordHistory(Tool08, ToolPath, ToolVersion, "Y", clock);
      if (recordVersion) RecordToolVersion();
    } else {
      Rollback();
      Report(1);
      RecordHistory(Tool08, ToolPath, ToolVersion, "N", clock);
    }
  } catch (const std::exception& e) {
    failed = true;  // the staging files go in every case
    LogLine("    → " + BracketedErrorText("FinishTool", e.what()));
  }
  try {
    const std::string root = TempFolder() + "FX4\\New\\";
    const std::string kind = failed ? " on Exception(" : "(";
    LogLine("    " + Fill(logform::kDeletingTempFiles, {kind + root + ")"}));
    // Entries beginning with "." are passed over.
    DeleteTree(root, false, [](const FolderEntry& e) { return e.name.starts_with('.'); });
    LogLine("    " + Fill(logform::kTempFilesDeleted, {kind + root + ")"}));
  } catch (const std::exception& e) {
    LogLine("    → " + BracketedErrorText("DeleteTempFiles", e.what()));
  }
}

// Puts the client back as it was: this run's backups are copied back, files this run created are
// deleted. A backup left by an earlier run is never restored: it may be older than the file this
// run did not touch.
void TUpdater::Rollback() {
  LogLine("    " + Fill(logform::kRollback, {}));
  try {
    for (size_t i = 0; i < UpdateList.size(); ++i) {
      const TUpdateFile& file = UpdateList[i];
      // Files the deploy pass never reached are as they were (a failed copy stops the pass); a file
      // with no package record was never deployed and must not stop the others' rollback.
      if (!file.Touched || file.ResourceIndex < 0) continue;
      const TUpdateFileResource& r = ResourceOf(file);
      const BackupAnswer place = BackupAndTarget(PlaceOf(r));
      if (!place.ok) continue;
      const std::string backup = place.backupFolder + file.FileName;
      const std::string n = std::to_string(i + 1);
      if (WrittenBackups.Contains(backup) && FileExists(backup)) {
        LogLine("    " + Fill(logform::kRestoreFile, {n, place.targetPath}));
        if (PlainCopy(backup, place.targetPath)) LogLine("    → " + Fill(logform::kRestored, {backup, place.targetPath}));
        else RecordFailure(run.FailureList, Fill(logform::kRestoreFailed, {backup, place.targetPath}), "    → ");
      } else if (!file.ExistedBefore && FileExists(place.targetPath)) {
        // Only what this run wrote is undone, and only what was undone is logged: a file whose
        // copy never arrived has nothing to delete.
        LogLine("    " + Fill(logform::kRemoveFile, {n, place.targetPath}));
        if (DeleteFileIfAny(place.targetPath) || !FileExists(place.targetPath)) LogLine("    → " + Fill(logform::kRemoved, {place.targetPath}));
        else RecordFailure(run.FailureList, Fill(logform::kRemoveFailed, {place.targetPath}), "    → ");
      }
    }
    std::vector<std::string> folders = CreatedFolders.Items();
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : folders)  // deepest first: a parent is empty only after its children went
      if (RemoveEmptyFolder(folder)) LogLine("    → " + Fill(logform::kRollbackFolderRemoved, {WithTrailingBackslash(folder, false)}));
  } catch (const std::exception& e) {
    RecordError(run.FailureList, "백업파일롤백", e.what(), "    → ", true);
  }
  LogLine("");
}

// A PC without the agent still keeps its local history: a failed report is logged, not fatal.
void TUpdater::Report(int result) {
  try {
    ReportResult(Tool08, ToolVersion, result);
  } catch (const std::exception& e) {
    LogLine("    → " + BracketedErrorText(logform::kReportStep, LineBreaksToBlank(e.what())));
  }
}

void TUpdater::RecordToolVersion() {
  const std::string pcId = PcIdOf(*Query, Pc.FirstHostAddress());
  if (!pcId.empty()) updater::RecordToolVersion(*Query, pcId, ToolVersion);
}

bool CheckPrevTool(TUpdater& updater) {
  const RunState& run = updater.run;
  if (updater.Window) updater.Window->SetRunCaption("업데이트(선수 툴 확인) " + FileNamePart(updater.ToolPath));
  LogLine(Fill(logform::kPrevToolCheck, {}));
  // The step's end is logged on every way out, a database error too.
  struct Finished {
    TUpdater& updater;
    ~Finished() {
      if (updater.Window) updater.Window->SetTopmost(true);
      LogLine(Fill(logform::kPrevToolCheckDone, {}));
      LogLine("");
    }
  } finished{updater};
  const int at = run.PrevToolOwnerList.IndexOf(updater.ToolPath);
  if (at < 0) {
    LogLine("    " + Fill(logform::kNoPrevTool, {}));
    return true;
  }
  return RunPrevTool(updater, run.PrevToolList[static_cast<size_t>(at)]);
}

namespace {

constexpr const char* kAsk = "실행되지 않은 툴이 있습니다.\r\n%s 실행 후 업데이트가 진행됩니다. 업데이트를 실행하시겠습니까?";
constexpr const char* kNotFound = "선수 툴(%s) 파일이 존재하지 않습니다.\r\n업데이트를 종료합니다.";
constexpr const char* kFailed = "선수 툴(%s) 실행 중 오류가 발생하였습니다.\r\n(%s)\r\n업데이트를 종료합니다.";

void Fail(StringList& failures, const std::string& line) { RecordFailure(failures, line, "    "); }

// "사용자선수툴실행종료(툴버전 name, registered IP)", with the holders of package files when any.
void Declined(RunState& run, const std::string& registeredIp, const std::string& name) {
  std::string line = "사용자선수툴실행종료(툴버전 " + name + ", " + registeredIp + ")";
  if (!run.RunningHolderList.Empty()) line += RunningHolderText(run);
  Fail(run.FailureList, line);
}

}  // namespace

bool RunPrevTool(TUpdater& updater, const std::string& prevToolPath) {
  RunState& run = updater.run;
  const std::string name = FileNamePart(prevToolPath);
  if (DataToolHasRun(*updater.Query, name)) {
    LogLine("    " + Fill(logform::kPrevToolHadRun, {prevToolPath}));
    return true;
  }
  if (run.HiddenRun) return false;  // hidden operation starts no prerequisite, silently
  std::string parameters;
  if (ToUpperAscii(BaseName(name)) < kPrevToolThreshold) {
    parameters = " \"0\"";
    if (!updater.ui.Confirm(FillFormat(kAsk, {name}))) {
      Declined(run, updater.Pc.registeredIp, name);
      return false;
    }
  } else {
    parameters = run.PrevToolRan ? " \"0\" \"2\"" : " \"0\" \"1\"";
  }
  std::string program = FileExists(prevToolPath) ? prevToolPath : ToolFolder() + name;
  if (!FileExists(program)) {
    const std::string message = FillFormat(kNotFound, {name});
    // The log keeps the message on one line; the failure list as shown.
    LogLine("    " + LineBreaksToBlank(message));
    run.FailureList.Add(message);
    updater.ui.Error(message);
    return false;
  }
  try {
    if (updater.Window) updater.Window->SetTopmost(false);
    // Waited for without limit: the prerequisite may work on the clinic database for a long time. A
    // run killed meanwhile still leaves its log.
    SaveRunLog();
    const int32_t code = StartAndWait(CommandPath(program) + parameters, StartMode::Console, 0);
    if (code != 0) {
      Fail(run.FailureList, LineBreaksToBlank(Trim(FillFormat(kFailed, {name, "선수 툴 강제종료 등"}))));
      return false;
    }
    if (!DataToolHasRun(*updater.Query, name)) {
      Declined(run, updater.Pc.registeredIp, name);
      return false;
    }
    LogLine("    " + Fill(logform::kPrevToolRan, {prevToolPath}));
    run.PrevToolRan = true;
    return true;
  } catch (const std::exception& e) {
    const std::string message = FillFormat(kFailed, {name, e.what()});
    updater.ui.Error(message);
    Fail(run.FailureList, LineBreaksToBlank(Trim(message)));
    return false;
  }
}

}  // namespace updater
