#pragma once
// Where an image's bytes come from: a file read on demand, or memory. Reads are bounds-checked;
// nothing here allocates a size taken from the data.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace updater {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly n bytes at offset; throws std::runtime_error past the end or on a read error.
  virtual void Read(uint64_t offset, void* dst, size_t n) const = 0;
  bool Contains(uint64_t offset, uint64_t n) const { return offset <= Size() && n <= Size() - offset; }
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  uint64_t Size() const override { return size_; }
  void Read(uint64_t offset, void* dst, size_t n) const override;

 private:
  const unsigned char* data_;
  size_t size_;
};

// Opens with read and write sharing, so a running program can read its own file.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& utf8Path);
  uint64_t Size() const override { return size_; }
  void Read(uint64_t offset, void* dst, size_t n) const override;

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t size_ = 0;
  std::string path_;
};

}  // namespace updater
