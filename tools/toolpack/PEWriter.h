#pragma once
// Writes resources into a PE32 image: every resource the image has is kept (version information,
// manifest, pictures) unless replaced, and the new tree goes into a section appended at the end.
// The section starts on a 4 KiB page of the file, so the loader maps it instead of reading it into
// memory. Used by the package builder; the program itself never writes images. Pure.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace updater {

// Takes the data of one resource, block by block.
using DataWriter = std::function<void(const void* data, size_t n)>;

struct NewResource {
  std::string type;  // decimal text for a numeric identifier
  std::string name;  // UTF-8; decimal text for a numeric identifier
  uint32_t language = 0;
  uint32_t codePage = 0;
  std::vector<unsigned char> data;
  // When set, writes the data instead of `data` (a large file, read and compressed as it goes).
  std::function<void(const DataWriter& write)> produce;
};

// Where a new image goes: written front to back, then patched in place; read back for the checksum.
class ImageSink {
 public:
  virtual ~ImageSink() = default;
  virtual void Append(const void* data, size_t n) = 0;
  virtual void Patch(uint64_t offset, const void* data, size_t n) = 0;
  virtual uint64_t Size() const = 0;
  virtual void ReadBack(const DataWriter& part) = 0;
};

// The image's resources that WriteResources keeps: all but those of the types in dropTypes.
std::vector<NewResource> KeptResources(const std::vector<unsigned char>& image, const std::vector<std::string>& dropTypes);

// Writes the new image into out. Resources of the types in dropTypes are not kept; a resource with
// the same type, name and language as an added one is replaced. Throws std::runtime_error (with the
// reason) for an image that cannot take another section or resources past the format's limits.
void WriteResources(const std::vector<unsigned char>& image, const std::vector<NewResource>& added,
                    const std::vector<std::string>& dropTypes, ImageSink& out);
// The same into memory, for small images.
std::vector<unsigned char> WriteResources(const std::vector<unsigned char>& image, const std::vector<NewResource>& added,
                                          const std::vector<std::string>& dropTypes = {});

// The PE checksum of an image (the field itself counted as zero).
uint32_t PeChecksum(const std::vector<unsigned char>& image, uint32_t checksumOffset);

inline constexpr uint32_t kPageSize = 4096;

}  // namespace updater
