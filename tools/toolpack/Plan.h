#pragma once
// toolpack plan: what an update tool would do on a clinic PC, decided by the program's own rules
// (target paths, the version decision, the copy types' conditions and after-deploy actions)
// against a client folder laid out like the install root. Nothing in the folder is written.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/TargetRules.h"

namespace updater::toolpack {

// A client folder seen as the install root of a PC: Windows paths below the install root map to
// files in the folder, each part matched as Windows matches it (ASCII letters in any case). Paths
// outside it (an absolute folder of base kind 0, the Quorix root) are not seen.
class ClientFolder final : public ClientView {
 public:
  ClientFolder(std::filesystem::path folder, std::string installRoot);
  std::string InstallRoot() const override { return installRoot_; }
  std::string TempFolder() const override { return installRoot_ + "Temp\\"; }
  std::string QuorixRoot() const override { return {}; }
  bool FolderExists(std::string_view path) const override;
  bool FileExists(std::string_view path) const override;
  bool Inside(std::string_view path) const;
  // The file or folder of a path below the install root; nothing when a part is missing.
  std::optional<std::filesystem::path> Local(std::string_view path) const;

 private:
  std::filesystem::path folder_;
  std::string installRoot_;  // with a trailing backslash
};

struct PlannedFile {
  std::string name;
  std::string decision;  // "deploy", "keep" or "skip"
  std::string reason;
  std::string target;    // empty when skipped
  bool outside = false;  // the target lies outside the client folder: not inspected
  std::string installedVersion, packageVersion;  // installed: empty when not installed
  uint64_t size = 0, installedSize = 0;
  std::string backup;  // the backup the backup pass would write; empty when none
  std::string after;   // the copy type's action once deployed; empty when none
};

struct ToolPlan {
  std::string tool, folder, installRoot;
  std::string refused;  // why the program would refuse the whole tool; empty when it loads
  std::vector<PlannedFile> files;
  std::vector<std::string> programs, modules;  // ended if running, users ended
  std::vector<std::string> runningNow;         // of the programs, those running (Windows only)
  std::string prevTool, dataTool, document;
  bool prevToolInPackage = false, dataToolAutoRun = false, documentsOpened = true, hidden = false;
  uint64_t bytesToWrite = 0, backupBytes = 0;
};

ToolPlan MakePlan(const std::string& toolPath, const std::string& clientFolder, const std::string& installRoot = "D:\\CVL2000\\");
void PrintPlan(const ToolPlan& plan, std::ostream& out, bool json);

}  // namespace updater::toolpack
