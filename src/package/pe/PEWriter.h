#pragma once
// Writes resources into a PE32 image: every resource the image has is kept (version information,
// manifest, pictures) unless replaced, and the new tree goes into a section appended at the end.
// Used by the package builder; the program itself never writes images.
#include <cstdint>
#include <string>
#include <vector>

namespace updater {

struct NewResource {
  std::string type;  // decimal text for a numeric identifier
  std::string name;  // UTF-8; decimal text for a numeric identifier
  uint32_t language = 0;
  uint32_t codePage = 0;
  std::vector<unsigned char> data;
};

// Returns the new image. Resources of the types in dropTypes are not kept; a resource with the same
// type, name and language as an added one is replaced. Throws std::runtime_error (with the reason)
// for an image that cannot take another section.
std::vector<unsigned char> WriteResources(const std::vector<unsigned char>& image, const std::vector<NewResource>& added,
                                          const std::vector<std::string>& dropTypes = {});

// The PE checksum of an image (the field itself counted as zero).
uint32_t PeChecksum(const std::vector<unsigned char>& image, uint32_t checksumOffset);

}  // namespace updater
