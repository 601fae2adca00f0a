#pragma once
// The backup pass and the deploy pass over a loaded tool's update list. A tool has one outcome:
// true while every backup and copy it made went through. The passes are its only writers; the
// tool's finish step is its only reader.
#include <string>

#include "core/VersionRules.h"
#include "deploy/CopyEngine.h"
#include "deploy/Updater.h"
#include "platform/Clock.h"

namespace updater {

// The main window's side of the passes.
class PassView : public CopyView {
 public:
  virtual void ShowFileCountLabels(bool on) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowCurrentFile(int position, const std::string& fileName, const std::string& sizeText) = 0;
  virtual void StepTotalProgress() = 0;
};

// The tool's finish step (report, record or roll back), run exactly once: by the deploy pass with
// the tool's outcome, or, when an error leaves the tool's steps before that, as failed on the way
// out. The stage names where a termination request met the tool.
class FinishOnce {
 public:
  FinishOnce(TUpdater& updater, bool recordVersion) : updater_(updater), recordVersion_(recordVersion) {}
  ~FinishOnce() { (*this)(false); }
  FinishOnce(const FinishOnce&) = delete;
  FinishOnce& operator=(const FinishOnce&) = delete;
  void SetStage(std::string stage) { stage_ = std::move(stage); }
  void operator()(bool ok) {
    if (done_) return;
    done_ = true;
    updater_.FinishTool(ok, recordVersion_, stage_);  // never raises
  }

 private:
  TUpdater& updater_;
  bool recordVersion_;
  std::string stage_ = "UpdateStart";
  bool done_ = false;
};

// Both answer the tool's outcome. The first failed backup ends the backup pass; after a failure
// the deploy pass copies nothing more. The deploy pass ends with the finish step.
bool ExecuteBackup(TUpdater& updater, PassView& view);
bool ExecuteUpdate(TUpdater& updater, PassView& view, bool ok, FinishOnce& finish);

// False when a copy failed.
bool CopyFormProgramForBackup(const std::string& targetPath, const std::string& backupFolder, RunState& run, PassView& view);
bool ReplaceFormProgramCopy(const std::string& targetPath, const std::string& sourcePath, RunState& run, Clock& clock, PassView& view);
void RemoveChromiumFolder(const std::string& targetPath, const std::string& sourcePath, StringList& failures, Clock& clock);

// The version decision (DecideCopy) between an installed file and its staged one.
CopyDecision ShouldCopy(const std::string& installed, const std::string& staged, uint8_t copyType);

}  // namespace updater
