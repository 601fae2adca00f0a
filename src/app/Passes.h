#pragma once
// The backup pass and the deploy pass over a loaded tool's update list.
#include <string>

#include "app/CopyEngine.h"
#include "platform/Clock.h"

namespace updater {

class TUpdater;

// The main window's side of the passes.
class PassView : public CopyView {
 public:
  virtual void ShowFileCountLabels(bool on) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowCurrentFile(int position, const std::string& fileName, const std::string& sizeText) = 0;
  // The total progress callback of the run; false when none is set.
  virtual bool HasTotalProgress() const = 0;
  virtual void StepTotalProgress() = 0;
};

void ExecuteBackup(TUpdater& updater, PassView& view);
// Ends with the tool's finish step (report, record or roll back) in every case.
void ExecuteUpdate(TUpdater& updater, PassView& view, bool tool08);

void CopyFormProgramForBackup(const std::string& targetPath, const std::string& backupFolder, TUpdater& updater, PassView& view);
void ReplaceFormProgramCopy(const std::string& targetPath, const std::string& sourcePath, TUpdater& updater, PassView& view);
void RemoveChromiumFolder(const std::string& targetPath, const std::string& sourcePath, Clock& clock);

// The version decision: copy when the installed dotless version is smaller, when both files have
// no version and differ in size, or for copy type 7. installedDotless receives the installed one.
bool ShouldCopy(const std::string& installed, const std::string& staged, const std::string& stagedDotless, uint8_t copyType,
                std::string& installedDotless);

}  // namespace updater
