#include "OutputFile.h"

#include "ToolpackIo.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

OutputFile::OutputFile(const std::string& path)
    : path_(path), temp_(Path(path).parent_path() / (Path(path).filename().u8string() + u8".toolpack-tmp")) {
  file_.open(temp_, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file_) throw Error(path_, "cannot create the file");
}

OutputFile::~OutputFile() {
  if (committed_) return;
  file_.close();
  std::error_code ignored;
  fs::remove(temp_, ignored);
}

void OutputFile::Check() {
  if (!file_) throw Error(path_, "cannot write the file (disk full?)");
}

void OutputFile::Append(const void* data, size_t n) {
  file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  Check();
  size_ += n;
}

void OutputFile::Patch(uint64_t offset, const void* data, size_t n) {
  file_.seekp(static_cast<std::streamoff>(offset));
  file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  file_.seekp(0, std::ios::end);
  Check();
}

void OutputFile::ReadBack(const DataWriter& part) {
  file_.flush();
  file_.seekg(0);
  std::vector<char> block(1 << 20);
  for (uint64_t left = size_; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
    file_.read(block.data(), static_cast<std::streamsize>(n));
    if (!file_) throw Error(path_, "cannot read back the file");
    part(block.data(), n);
    left -= n;
  }
  file_.seekp(0, std::ios::end);
}

void OutputFile::Commit() {
  file_.close();
  if (!file_) throw Error(path_, "cannot write the file (disk full?)");
  std::error_code ec;
  fs::rename(temp_, Path(path_), ec);
  if (ec) throw Error(path_, "cannot replace the file");
  committed_ = true;
}

}  // namespace updater::toolpack
