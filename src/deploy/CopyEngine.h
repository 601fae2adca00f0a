#pragma once
// Every file the backup and deploy passes move goes through here: a copy with progress that
// terminates the programs holding the target and tries once more, and a plain retry copy. A copy
// answers its result and nothing else: what it means for the tool is the passes' decision.
#include <cstdint>
#include <string>

#include "core/RunState.h"

namespace updater {

enum class CopyKind { Normal = 0, Backup = 1 };
enum class CopyResult { Failed = 0, Copied = 1, SizeMismatch = 2 };

// The window's side of a copy.
class CopyView {
 public:
  virtual ~CopyView() = default;
  virtual void SetFileProgress(uint64_t position, uint64_t maximum) = 0;
  virtual void ProcessMessages() = 0;
};

inline constexpr size_t kCopyBlock = 61440;

// Streams the source into a file beside the destination and moves it over the destination in one
// step, so the destination is either the old or the new file. Throws when the source cannot be
// opened, or when the move fails again after the holders were terminated. Failures are logged and
// recorded in the run's failure list.
CopyResult FileCopyWithProgress(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                                RunState& run, CopyView& view);
// The plain copy and a comparison of the two sizes on disk.
CopyResult FileCopyWithProgressNew1st(const std::string& source, const std::string& destination, uint8_t copyType,
                                      CopyKind kind, RunState& run);
// The first, and the second on a size mismatch.
CopyResult CopyWithRetry(const std::string& source, const std::string& destination, uint8_t copyType, CopyKind kind,
                         RunState& run, CopyView& view);

}  // namespace updater
