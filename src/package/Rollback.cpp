#include <stdexcept>

#include "core/RunLog.h"
#include "core/ClientFolders.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "core/RunState.h"
#include "package/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace updater {

// Puts the client back as it was: this run's backups are copied back, files this run created are
// deleted. A backup left by an earlier run is never restored: it may be older than the file this
// run did not touch.
void TUpdater::Rollback() {
  RunState& run = Run();
  LogLine("    백업파일롤백");
  try {
    for (size_t i = 0; i < UpdateList.size(); ++i) {
      const TUpdateFile& file = UpdateList[i];
      // Files the deploy pass never reached are as they were (a failed copy stops the pass); a file
      // with no package record was never deployed and must not stop the others' rollback.
      if (!file.Touched || file.ResourceIndex < 0) continue;
      const TUpdateFileResource& r = ResourceOf(file);
      const BackupAnswer place = BackupAndTarget({file.FileName, r.BaseKind, r.SubFolderIndex, r.FolderText, r.CopyType});
      if (!place.ok) continue;
      const std::string backup = place.backupFolder + file.FileName;
      const std::string n = std::to_string(i + 1) + ". ";
      if (WrittenBackups.Contains(backup) && FileExists(backup)) {
        LogLine("    파일복사(롤백)[" + n + place.targetPath + "]");
        const bool ok = PlainCopy(backup, place.targetPath);
        const std::string line = "[" + backup + "] to [" + place.targetPath + "] " + (ok ? "파일복사(롤백) 성공" : "파일복사(롤백) 실패");
        LogLine("    → " + line);
        if (!ok) run.FailureList.Add(line);
      } else if (!file.ExistedBefore) {
        LogLine("    파일삭제(롤백)[" + n + place.targetPath + "]");
        // A file that never arrived is as good as deleted.
        const bool ok = ::DeleteFileW(Wide(place.targetPath).c_str()) || !FileExists(place.targetPath);
        const std::string line = "[" + place.targetPath + "] " + (ok ? "파일삭제(롤백) 성공" : "파일삭제(롤백) 실패");
        LogLine("    → " + line);
        if (!ok) run.FailureList.Add(line);
      }
    }
  } catch (const std::exception& e) {
    const std::string text = "백업파일롤백 에러발생(" + std::string(e.what()) + ")";
    CaptureBusyFile(e.what(), run.BusyFileList);
    LogLine("    → " + text, true);
    run.FailureList.Add(text);
  }
  LogLine("");
}

}  // namespace updater
