#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "PEWriter.h"

namespace updater::toolpack {

// A file written through a temporary file beside the target and renamed into place by Commit;
// without Commit (an error on the way) the temporary file goes and the target stays as it was.
class OutputFile final : public ImageSink {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  void Append(const void* data, size_t n) override;
  void Patch(uint64_t offset, const void* data, size_t n) override;
  uint64_t Size() const override { return size_; }
  void ReadBack(const DataWriter& part) override;
  void Commit();

 private:
  void Check();
  std::string path_;
  std::filesystem::path temp_;
  std::fstream file_;
  uint64_t size_ = 0;
  bool committed_ = false;
};

}  // namespace updater::toolpack
