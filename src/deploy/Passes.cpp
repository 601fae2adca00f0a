#include "deploy/Passes.h"

#include <stdexcept>
#include <vector>

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/VersionRules.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "env/Termination.h"
#include "deploy/Installers.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Text.h"

namespace updater {
namespace {

std::string CurrentLine(int n, const std::string& target, const std::string& installed, const std::string& record,
                        std::string_view what) {
  return "    " + Fill(logform::kCopyKept, {std::to_string(n), target, installed, record, what});
}

std::string CopyLine(int n, const std::string& target) { return "    " + Fill(logform::kCopyFile, {std::to_string(n), target}); }

// Pelvane.exe whose version resource calls it PelvaneNew.exe.
bool HasRenamedFormProgram(std::string& path) {
  path = ExeFolder() + "Pelvane.exe";
  return FileExists(path) && EqualsIgnoreCase(VersionText(path, 3), "PelvaneNew.exe");
}

// A tool deploys all its version rule asks for or nothing: a copy that did not end Copied, after
// its retry, fails the tool, whatever later copies do.
bool Copy(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind, RunState& run,
          PassView& view) {
  return CopyWithRetry(source, destination, copyType, kind, run, view) == CopyResult::Copied;
}

// One file of the deploy pass: its folder, the version decision and the copy. False when a copy
// failed.
bool DeployFile(TUpdater& updater, PassView& view, TUpdateFile& file, const TUpdateFileResource& r, const std::string& target,
                int n) {
  FolderAndName parts;
  SplitAtLastBackslash(target, parts);
  // The folders this run makes, deepest first: a rollback removes those that end empty.
  std::vector<std::string> missing;
  for (std::string f = WithoutTrailingBackslash(parts.folder); !f.empty() && !FolderExists(f);) {
    missing.push_back(f);
    FolderAndName up;
    if (!SplitAtLastBackslash(f, up)) break;
    f = WithoutTrailingBackslash(up.folder);
  }
  // A folder that cannot be made is not an error of its own: the copy into it fails.
  if (!missing.empty() && EnsureFolder(parts.folder)) {
    LogLine("");
    LogLine("    " + Fill(logform::kFolderMade, {WithTrailingBackslash(parts.folder, false)}));
  }
  for (const std::string& f : missing)
    if (FolderExists(f)) updater.CreatedFolders.AddUnique(f);
  const bool existed = FileExists(target);
  uint8_t copyType = 0;  // a new target is copied plainly, without the forced-copy wording
  if (existed) {
    file.ExistedBefore = true;
    // Decided once: by the backup pass when it reached the file, which leaves the target as it was.
    if (!file.Decision) file.Decision = ShouldCopy(target, file.StagingPath, r.CopyType);
    const CopyDecision& decision = *file.Decision;
    if (!decision.copy) {
      LogLine(CurrentLine(n, target, decision.installedDotless, file.DotlessVersion, logform::kDeployKeptWord));
      return true;
    }
    copyType = r.CopyType;
  }
  LogLine(CopyLine(n, target));
  if (updater.run.KillFailedList.Contains(FileNamePart(target))) RenameBusyFile(target, updater.clock);
  file.Touched = true;
  bool ok = ReplaceFormProgramCopy(target, file.StagingPath, updater.run, updater.clock, view);
  if (existed) RemoveChromiumFolder(target, file.StagingPath, updater.run.FailureList, updater.clock);  // not for a new target
  return ok && Copy(file.StagingPath, target, copyType, CopyKind::Normal, updater.run, view);
}

}  // namespace

CopyDecision ShouldCopy(const std::string& installed, const std::string& staged, uint8_t copyType) {
  return DecideCopy(VersionText(installed, 1), VersionText(staged, 1), [&] { return FileSize(installed) != FileSize(staged); }, copyType);
}

bool ExecuteBackup(TUpdater& updater, PassView& view) {
  LogLine(Fill(logform::kBackupPass, {std::to_string(updater.UpdateList.size())}));
  bool ok = true;
  try {
    for (size_t i = 0; i < updater.UpdateList.size() && ok; ++i) {
      TUpdateFile& file = updater.UpdateList[i];
      if (file.ResourceIndex < 0) continue;  // left in the staging folder by an earlier attempt: not part of this package
      const TUpdateFileResource& r = updater.ResourceOf(file);
      const BackupAnswer place = BackupAndTarget(PlaceOf(r));
      if (!place.ok) continue;
      NoteDeployedPath(updater.run, r.SubFolderIndex, file.FileName, place.targetPath);
      if (!FileExists(place.targetPath)) continue;
      view.ShowFileCountLabels(false);
      view.ShowStatus(file.FileName + " 파일백업 중");
      const int n = static_cast<int>(i) + 1;
      file.Decision = ShouldCopy(place.targetPath, file.StagingPath, r.CopyType);
      const CopyDecision& decision = *file.Decision;
      if (!decision.copy) {
        LogLine(CurrentLine(n, place.targetPath, decision.installedDotless, file.DotlessVersion, logform::kBackupKeptWord));
        continue;
      }
      LogLine(CopyLine(n, place.targetPath));
      // A folder that cannot be made is not an error of its own: the copy into it fails.
      if (!FolderExists(place.backupFolder) && EnsureFolder(place.backupFolder))
        LogLine("    → " + Fill(logform::kBackupFolderMade, {place.backupFolder}));
      ok = CopyFormProgramForBackup(place.targetPath, place.backupFolder, updater.run, view);
      if (!ok) break;
      const std::string backup = place.backupFolder + file.FileName;
      ok = Copy(place.targetPath, backup, r.CopyType, CopyKind::Backup, updater.run, view);
      // Only a backup this run wrote whole is ever restored; an earlier run's file stays unused.
      if (ok) updater.WrittenBackups.AddUnique(backup);
    }
  } catch (const std::exception& e) {
    RecordError(updater.run.FailureList, "ExecuteBackup", e.what(), "", true);
    ok = false;
  }
  LogLine(Fill(logform::kBackupPassDone, {}));
  LogLine("");
  return ok;
}

bool ExecuteUpdate(TUpdater& updater, PassView& view, bool ok, FinishOnce& finish) {
  RunState& run = updater.run;
  view.ShowFileCountLabels(true);
  LogLine(Fill(logform::kDeployPass, {std::to_string(updater.UpdateList.size())}));
  bool agentInstaller = false;
  for (size_t i = 0; i < updater.UpdateList.size(); ++i) {
    TUpdateFile& file = updater.UpdateList[i];
    if (file.ResourceIndex < 0) continue;  // not part of this package: never deployed
    const TUpdateFileResource& r = updater.ResourceOf(file);
    const PathAnswer target = TargetPath(PlaceOf(r));
    if (!target.ok) continue;
    const int n = static_cast<int>(i) + 1;
    view.ShowCurrentFile(n, file.FileName, FileSizeText(file.Size));
    if (!run.Terminating && ok) {
      try {
        ok = DeployFile(updater, view, file, r, target.path, n);
        if (ContainsIgnoreCase(file.FileName, "TindleAgentSetup.exe")) agentInstaller = true;
      } catch (const std::exception& e) {
        RecordError(run.FailureList, "ExecuteUpdate", e.what(), "    → ", true);
        ok = false;
      }
    }
    if (ok) {
      MobileServerRestart(run, file.FileName);
      AfterDeployAction(*updater.Query, r, target.path, n);
      view.StepTotalProgress();
    }
    view.ProcessMessages();
  }
  if (agentInstaller) TindleAgentStep(*updater.Query, updater.Pc);
  finish(ok);
  LogLine(Fill(logform::kDeployPassDone, {}), true);
  LogLine("");
  return ok;
}

bool CopyFormProgramForBackup(const std::string& targetPath, const std::string& backupFolder, RunState& run, PassView& view) {
  std::string form;
  if (!ContainsIgnoreCase(targetPath, "PelvaneNewer.exe") || !HasRenamedFormProgram(form)) return true;
  return Copy(form, backupFolder + "Pelvane.exe", 0, CopyKind::Normal, run, view);
}

bool ReplaceFormProgramCopy(const std::string& targetPath, const std::string& sourcePath, RunState& run, Clock& clock,
                            PassView& view) {
  std::string form;
  if (!ContainsIgnoreCase(targetPath, "PelvaneNewer.exe") || !HasRenamedFormProgram(form)) return true;
  if (IsRunning("Pelvane.exe")) {
    StringList names;
    names.Add("pelvane.exe");
    TerminateProcessesByName(run, names, false, false);
  }
  DeleteFileIfAny(form);
  clock.Sleep(100);
  return Copy(sourcePath, form, 0, CopyKind::Normal, run, view);
}

void RemoveChromiumFolder(const std::string& targetPath, const std::string& /*sourcePath*/, StringList& failures, Clock& clock) {
  const std::string folder = ChromiumFolder();
  if (!ContainsIgnoreCase(targetPath, "Chromium.zip") || !FolderExists(folder)) return;
  RemoveFolderTree(folder);
  clock.Sleep(200);
  if (FolderExists(folder)) RecordFailure(failures, Fill(logform::kFolderNotRemoved, {folder}), "    → ");
  else LogLine("    → " + Fill(logform::kFolderRemoved, {folder}));
}

}  // namespace updater
