#pragma once
// Writes a file's new content beside it and moves it over the target in one step, so a kill
// or a full disk leaves either the old or the new file, never a torn one.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Handles.h"

namespace updater {

class ReplacingFile {
 public:
  enum class Durability { Flushed, Cached };
  // Creates the temporary file in the target's folder; check IsOpen(). Flushed writes the content
  // to the disk before the move (client files); Cached leaves that to the system (staging, logs).
  explicit ReplacingFile(std::string target, Durability durability = Durability::Flushed);
  ~ReplacingFile();  // removes the temporary file unless committed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool IsOpen() const { return static_cast<bool>(file_); }
  bool Created() const { return created_; }
  DWORD OpenError() const { return openError_; }
  HANDLE Handle() const { return file_.Get(); }
  bool Write(const void* data, size_t size);
  // Reads up to size bytes into data; 0 at the end. Throws OsError when the source cannot be read.
  using Reader = std::function<size_t(void* data, size_t size)>;
  // The one stream copy into a file: reads blocks of the given size until the reader answers 0,
  // writing each (OsError when a write fails), and after each block asks progress (bytes so far)
  // whether to go on. Answers the bytes written.
  uint64_t CopyFrom(const Reader& read, size_t block, const std::function<bool(uint64_t written)>& progress = {});
  // Flushes, closes and moves over the target; false with GetLastError() set on failure. May be
  // called again after a failure.
  bool Commit();
  const std::string& TemporaryPath() const { return temp_; }

 private:
  std::string target_, temp_;
  UniqueHandle file_;
  Durability durability_;
  DWORD openError_ = 0;
  bool created_ = false;
  bool committed_ = false;
};

// Copies content, date (to the even second) and attributes in one step; false on any failure or
// onto itself (also through another spelling of the same file).
bool PlainCopy(std::string_view source, std::string_view target);

// Suffix of the temporary files; the start-of-run sweep removes leftovers of a killed run.
inline constexpr std::string_view kTemporarySuffix = ".yte";

}  // namespace updater
