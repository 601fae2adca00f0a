#pragma once
// Every file the backup and deploy passes move goes through here: a copy with progress that
// terminates the programs holding the target and tries once more, and a plain retry copy.
#include <cstdint>
#include <string>

namespace updater {

class TUpdater;

enum class CopyKind { Normal = 0, Backup = 1 };
enum class CopyResult { Failed = 0, Copied = 1, SizeMismatch = 2 };

// The window's side of a copy.
class CopyView {
 public:
  virtual ~CopyView() = default;
  virtual void SetFileProgress(uint64_t position, uint64_t maximum) = 0;
  virtual void ProcessMessages() = 0;
  virtual void MirrorSuccess(bool ok) = 0;  // UpdateOk
};

inline constexpr size_t kCopyBlock = 61440;

// Streams the source into a file beside the destination and moves it over the destination in one
// step, so the destination is either the old or the new file. Throws when the source cannot be
// read, or when the move fails again after the holders were terminated.
CopyResult FileCopyWithProgress(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                                TUpdater& updater, CopyView& view);
// The plain copy and a comparison of the two sizes on disk.
CopyResult FileCopyWithProgressNew1st(const std::string& source, const std::string& destination, uint8_t copyType,
                                      CopyKind kind, TUpdater& updater, CopyView& view);
// The first, and the second on a size mismatch.
CopyResult CopyWithRetry(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                         TUpdater& updater, CopyView& view);

}  // namespace updater
