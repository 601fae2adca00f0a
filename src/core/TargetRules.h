#pragma once
// Where a package's file goes on a clinic PC, where its backup goes, and when its copy type's
// folder or file condition holds: the rules alone, over the facts of a PC that a ClientView
// answers. The program asks them of its own PC; toolpack's plan asks them of a client folder. Pure.
#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

inline constexpr int kSubFolderCount = 38;
// Entry of the target sub-folder table, without trailing backslash; empty outside the table.
std::string_view SubFolderEntry(int index);

// The facts of a PC the rules read.
class ClientView {
 public:
  virtual ~ClientView() = default;
  virtual std::string InstallRoot() const = 0;  // with a trailing backslash
  virtual std::string TempFolder() const = 0;   // with a trailing backslash
  virtual std::string QuorixRoot() const = 0;   // as found, no backslash added; may be empty
  virtual bool FolderExists(std::string_view path) const = 0;
  virtual bool FileExists(std::string_view path) const = 0;
};

// The fields of an update item that decide where it goes.
struct ItemPlace {
  std::string fileName;
  uint8_t baseKind = 0;     // 0 own path, 1 install root, 2 Quorix root, other: Exe folder
  int subFolderIndex = 0;   // 0: the item path gives the folder
  std::string itemPath;
  uint8_t copyType = 0;
};

struct PathAnswer {
  bool ok = false;
  std::string path;
};
// Where a file is deployed; false when the copy type's folder or file condition is not met.
PathAnswer TargetPath(const ItemPlace& item, const ClientView& pc);

struct BackupAnswer {
  bool ok = false;
  std::string backupFolder, targetPath;
};
BackupAnswer BackupAndTarget(const ItemPlace& item, const ClientView& pc);

}  // namespace updater
