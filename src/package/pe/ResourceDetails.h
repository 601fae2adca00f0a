#pragma once
// One resource of an image: its type, name, language and where its data lie. The data stay in
// the image and are read when asked for, so a large package is never held in memory whole.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/pe/ByteSource.h"

namespace updater {

class TResourceModule;

class TResourceDetails {
 public:
  TResourceDetails(const TResourceModule& owner, std::string type, std::string name, uint32_t language, uint32_t codePage,
                   uint64_t dataOffset, uint32_t dataSize)
      : owner_(owner), type_(std::move(type)), name_(std::move(name)), language_(language), codePage_(codePage),
        dataOffset_(dataOffset), dataSize_(dataSize) {}
  virtual ~TResourceDetails() = default;

  const TResourceModule& Owner() const { return owner_; }
  const std::string& Type() const { return type_; }  // numeric identifiers as decimal text
  const std::string& Name() const { return name_; }  // UTF-8
  uint32_t Language() const { return language_; }
  uint32_t CodePage() const { return codePage_; }
  uint32_t DataSize() const { return dataSize_; }
  uint64_t DataOffset() const { return dataOffset_; }  // in the image file

  // Reads n bytes of the data from offset (bounds-checked against the data).
  void ReadData(uint64_t offset, void* dst, size_t n) const;
  // The whole data; for small resources (names, options, version information).
  std::vector<unsigned char> Data() const;
  // Reads the data front to back: each call fills up to max bytes, 0 at the end.
  std::function<size_t(void* buf, size_t max)> Reader() const;

 private:
  const TResourceModule& owner_;
  std::string type_, name_;
  uint32_t language_, codePage_;
  uint64_t dataOffset_;
  uint32_t dataSize_;
};

// Data that look like 8-bit text.
class TAnsiResourceDetails final : public TResourceDetails {
  using TResourceDetails::TResourceDetails;
};
// Data that look like 16-bit text.
class TUnicodeResourceDetails final : public TResourceDetails {
  using TResourceDetails::TResourceDetails;
};

enum class ResourceDataKind { Plain, Ansi, Unicode };
// Looks at the first bytes (at most 1024) of the data.
ResourceDataKind ClassifyResourceData(const unsigned char* head, size_t headSize, uint32_t dataSize);

}  // namespace updater
