#pragma once
// One update tool of the run: its loaded package, its update list and its outcome.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RunState.h"
#include "core/StringList.h"
#include "core/VersionRules.h"
#include "db/ClinicTables.h"
#include "db/TsQuery.h"
#include "package/PackageFormat.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

struct TUpdateFile {
  std::string FileName;
  std::string DotlessVersion;  // "0000" without version information
  std::string StagingPath;
  int64_t Size = 0;
  bool ExistedBefore = false;
  // The deploy pass began writing this file's target; rollback leaves every other file alone.
  bool Touched = false;
  int32_t ResourceIndex = -1;
  // The version decision against the installed file, made once, when a pass first meets it.
  std::optional<CopyDecision> Decision;
};

// What the prerequisite step shows on the main window: its caption, and whether it stays on top
// (it leaves the top while a prerequisite tool runs, so that tool's window can come to the front).
class ToolWindow {
 public:
  virtual ~ToolWindow() = default;
  virtual void SetRunCaption(std::string_view text) = 0;
  virtual void SetTopmost(bool on) = 0;
};

class TUpdater {
 public:
  // The run's Ui, Clock, run-wide state and database: every box, every wait, every run-wide list
  // and every statement of the tool goes through them.
  TUpdater(Ui& ui, Clock& clock, RunState& run, Database& db);
  ~TUpdater();
  TUpdater(const TUpdater&) = delete;
  TUpdater& operator=(const TUpdater&) = delete;

  // Loads one tool: version, staging folder, extraction (tried twice), prerequisite, update list.
  // False when the load failed (its line is written).
  bool AddUpdater(const std::string& toolPath);
  // Ends the load of a tool that an earlier step found damaged, with the load's error line.
  void RefuseLoad(const std::string& toolPath, const std::string& task, const std::string& message);
  void BuildUpdateList(const std::string& stagingFolder);
  // Reports and records the tool's outcome, or rolls back after a failure; removes the staging
  // files. Never raises.
  void FinishTool(bool ok, bool recordVersion, const std::string& stageName);
  void Rollback();
  // Reports the result to the update service.
  void Report(int result);
  // Records the tool version as this PC's in ModuleSetting, when PCINFO knows the PC by its first
  // host address.
  void RecordToolVersion();
  // The resource record of an update file; throws when it has none.
  const TUpdateFileResource& ResourceOf(const TUpdateFile& file) const;

  Ui& ui;
  Clock& clock;
  RunState& run;
  std::unique_ptr<TtsQuery> Query;
  std::vector<TUpdateFile> UpdateList;
  std::vector<TUpdateFileResource> ResourceList;
  std::string ToolPath;
  std::string ToolVersion;
  bool Tool08 = false;  // the running program's item code: selects the history file
  PcIdentity Pc;                 // this PC as the clinic database knows it
  ToolWindow* Window = nullptr;  // the main window, when there is one
  // Backups this run's backup pass wrote: the only ones rollback restores.
  StringList WrittenBackups;
  // Folders the deploy pass made: rollback removes those that end empty.
  StringList CreatedFolders;

 private:
  void FailLoad(const std::string& task, const std::string& message);
};

// "a.b.c.d" from the fixed version information; throws when the file has none.
std::string ReadFixedFileVersion(const std::string& path);
// The step "ProcessPrevTool" of the load: makes sure the tool's prerequisite data tool has run on
// this clinic database, running it when needed; false ends the load.
bool CheckPrevTool(TUpdater& updater);
// Checks, asks, starts and confirms one prerequisite; false when the tool must not be deployed.
bool RunPrevTool(TUpdater& updater, const std::string& prevToolPath);
// The prerequisite threshold: an upper-cased base name that sorts before it is an older tool.
inline constexpr const char* kPrevToolThreshold = "VEROZ5417";

}  // namespace updater
