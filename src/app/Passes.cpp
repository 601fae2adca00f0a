#include "app/Passes.h"

#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "env/Installers.h"
#include "env/Processes.h"
#include "env/Termination.h"
#include "env/VersionRules.h"
#include "package/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace updater {
namespace {

ItemPlace PlaceOf(const TUpdateFile& f, const TUpdateFileResource& r) {
  return {f.FileName, r.BaseKind, r.SubFolderIndex, r.FolderText, r.CopyType};
}

std::string CurrentLine(int n, const std::string& target, const std::string& installed, const std::string& record,
                        const char* what) {
  return "    파일복사 [" + std::to_string(n) + ". " + target + "] → 최신/동일버전 존재(현 " + installed + ", 복사 " + record + ")" +
         ", " + what;
}

// Pelvane.exe whose version resource calls it PelvaneNew.exe.
bool HasRenamedFormProgram(std::string& path) {
  path = ExeFolder() + "Pelvane.exe";
  return FileExists(path) && EqualsIgnoreCase(VersionText(path, 3), "PelvaneNew.exe");
}

// A tool deploys all its version rule asks for or nothing: the first failed backup or copy fails
// the tool, no further file is copied, and its finish step rolls back. (The success flag alone
// would follow only the last copy.)
void FailTool(TUpdater& updater, PassView& view) {
  updater.CopyFailed = true;
  updater.Success = false;
  view.MirrorSuccess(false);
}

void Fail(const std::string& text, const std::string& message, TUpdater& updater, PassView& view, bool arrow) {
  CaptureBusyFile(message, Run().BusyFileList);
  LogLine((arrow ? "    → " : "") + text, true);
  Run().FailureList.Add(text);
  FailTool(updater, view);
}

// A copy that did not end Copied, after its retry, fails the tool.
bool CopyOrFail(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind, TUpdater& updater,
                PassView& view) {
  if (CopyWithRetry(source, destination, copyType, kind, updater, view) == CopyResult::Copied) return true;
  FailTool(updater, view);
  return false;
}

}  // namespace

bool ShouldCopy(const std::string& installed, const std::string& staged, const std::string& stagedDotless, uint8_t copyType,
                std::string& installedDotless) {
  installedDotless = Dotless(VersionText(installed, 1));
  return CompareDotless(installedDotless, stagedDotless) < 0 || NoVersionSizeDiffers(installed, staged) || copyType == 7;
}

void ExecuteBackup(TUpdater& updater, PassView& view) {
  LogLine("Start procedure ExecuteBackup (" + std::to_string(updater.UpdateList.size()) + "개 파일)");
  try {
    for (size_t i = 0; i < updater.UpdateList.size(); ++i) {
      const TUpdateFile& file = updater.UpdateList[i];
      if (file.ResourceIndex < 0) continue;  // left in the staging folder by an earlier attempt: not part of this package
      const TUpdateFileResource& r = updater.ResourceOf(file);
      const BackupAnswer place = BackupAndTarget(PlaceOf(file, r));
      if (!place.ok) continue;
      NoteDeployedPath(r.SubFolderIndex, file.FileName, place.targetPath);
      if (!FileExists(place.targetPath)) continue;
      view.ShowFileCountLabels(false);
      view.ShowStatus(file.FileName + " 파일백업 중");
      const int n = static_cast<int>(i) + 1;
      std::string installed;
      if (!ShouldCopy(place.targetPath, file.StagingPath, file.DotlessVersion, r.CopyType, installed)) {
        LogLine(CurrentLine(n, place.targetPath, installed, file.DotlessVersion, "백업 건너뜀"));
        continue;
      }
      LogLine("    파일복사 [" + std::to_string(n) + ". " + place.targetPath + "]");
      // A folder that cannot be made is not an error of its own: the copy into it fails.
      if (!FolderExists(place.backupFolder) && EnsureFolder(place.backupFolder))
        LogLine("    → [" + place.backupFolder + "] 백업폴더 생성");
      CopyFormProgramForBackup(place.targetPath, place.backupFolder, updater, view);
      if (updater.CopyFailed) break;
      const std::string backup = place.backupFolder + file.FileName;
      if (!CopyOrFail(place.targetPath, backup, r.CopyType, CopyKind::Backup, updater, view)) break;
      // Only a backup this run wrote whole is ever restored; an earlier run's file stays unused.
      updater.WrittenBackups.AddUnique(backup);
    }
  } catch (const std::exception& e) {
    Fail("ExecuteBackup 에러발생(" + std::string(e.what()) + ")", e.what(), updater, view, false);
  }
  LogLine("Finished procedure ExecuteBackup");
  LogLine("");
}

void ExecuteUpdate(TUpdater& updater, PassView& view, bool tool08) {
  view.ShowFileCountLabels(true);
  LogLine("Start procedure ExecuteUpdate (" + std::to_string(updater.UpdateList.size()) + "개 파일)");
  bool agentInstaller = false;
  try {
    for (size_t i = 0; i < updater.UpdateList.size(); ++i) {
      TUpdateFile& file = updater.UpdateList[i];
      if (file.ResourceIndex < 0) continue;  // not part of this package: never deployed
      const TUpdateFileResource& r = updater.ResourceOf(file);
      const PathAnswer target = TargetPath(PlaceOf(file, r));
      if (!target.ok) continue;
      const int n = static_cast<int>(i) + 1;
      view.ShowCurrentFile(n, file.FileName, FileSizeText(file.Size));
      if (!Run().Terminating && !updater.CopyFailed) {
        try {
          FolderAndName parts;
          SplitAtLastBackslash(target.path, parts);
          // A folder that cannot be made is not an error of its own: the copy into it fails.
          if (!FolderExists(parts.folder) && EnsureFolder(parts.folder)) {
            LogLine("");
            LogLine("    폴더생성 [" + WithTrailingBackslash(parts.folder, false) + "]");
          }
          auto renameIfKillFailed = [&] {
            if (Run().KillFailedList.Contains(FileNamePart(target.path))) RenameBusyFile(target.path, updater.clock);
          };
          if (FileExists(target.path)) {
            file.ExistedBefore = true;
            std::string installed;
            if (ShouldCopy(target.path, file.StagingPath, file.DotlessVersion, r.CopyType, installed)) {
              LogLine("    파일복사 [" + std::to_string(n) + ". " + target.path + "]");
              renameIfKillFailed();
              file.Touched = true;
              ReplaceFormProgramCopy(target.path, file.StagingPath, updater, view);
              RemoveChromiumFolder(target.path, file.StagingPath, updater.clock);
              if (!updater.CopyFailed) CopyOrFail(file.StagingPath, target.path, r.CopyType, CopyKind::Normal, updater, view);
            } else {
              LogLine(CurrentLine(n, target.path, installed, file.DotlessVersion, "복사 건너뜀"));
            }
          } else {
            LogLine("    파일복사 [" + std::to_string(n) + ". " + target.path + "]");
            renameIfKillFailed();
            file.Touched = true;
            ReplaceFormProgramCopy(target.path, file.StagingPath, updater, view);
            if (!updater.CopyFailed) CopyOrFail(file.StagingPath, target.path, 0, CopyKind::Normal, updater, view);
          }
          if (ContainsIgnoreCase(file.FileName, "TindleAgentSetup.exe")) agentInstaller = true;
        } catch (const std::exception& e) {
          Fail("ExecuteUpdate 에러발생(" + std::string(e.what()) + ")", e.what(), updater, view, true);
        }
      }
      if (view.HasTotalProgress() && updater.Success) {
        MobileServerRestart(file.FileName);
        AfterDeployAction(file, target.path, n);
        view.StepTotalProgress();
      }
      view.ProcessMessages();
    }
    if (agentInstaller) TindleAgentStep(updater.Query.get());
  } catch (...) {
    updater.FinishTool(tool08, "ExecuteUpdate");
    throw;
  }
  updater.FinishTool(tool08, "ExecuteUpdate");
  LogLine("Finished procedure ExecuteUpdate", true);
  LogLine("");
}

void CopyFormProgramForBackup(const std::string& targetPath, const std::string& backupFolder, TUpdater& updater, PassView& view) {
  std::string form;
  if (!ContainsIgnoreCase(targetPath, "PelvaneNewer.exe") || !HasRenamedFormProgram(form)) return;
  CopyOrFail(form, backupFolder + "Pelvane.exe", 0, CopyKind::Normal, updater, view);
}

void ReplaceFormProgramCopy(const std::string& targetPath, const std::string& sourcePath, TUpdater& updater, PassView& view) {
  std::string form;
  if (!ContainsIgnoreCase(targetPath, "PelvaneNewer.exe") || !HasRenamedFormProgram(form)) return;
  if (IsRunning("Pelvane.exe")) {
    StringList names;
    names.Add("pelvane.exe");
    TerminateProcessesByName(Run(), names, false, false);
  }
  ::DeleteFileW(Wide(form).c_str());
  updater.clock.Sleep(100);
  CopyOrFail(sourcePath, form, 0, CopyKind::Normal, updater, view);
}

void RemoveChromiumFolder(const std::string& targetPath, const std::string& /*sourcePath*/, Clock& clock) {
  const std::string folder = ChromiumFolder();
  if (!ContainsIgnoreCase(targetPath, "Chromium.zip") || !FolderExists(folder)) return;
  RemoveFolderTree(folder);
  clock.Sleep(200);
  const std::string line = "[" + folder + "] 폴더삭제";
  if (FolderExists(folder)) {
    LogLine("    → " + line + "실패");
    Run().FailureList.Add(line + "실패");
  } else {
    LogLine("    → " + line + "성공");
  }
}

}  // namespace updater
