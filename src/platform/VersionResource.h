#pragma once
// The version resource of a file on disk, as the system reads it: its translations, its strings
// and its fixed file version.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace updater {

class VersionResource {
 public:
  // Empty when the file has none or cannot be read.
  explicit VersionResource(std::string_view path);
  bool Empty() const { return info_.empty(); }
  // (language, code page) pairs of "\VarFileInfo\Translation", in table order.
  std::vector<std::pair<uint16_t, uint16_t>> Translations() const;
  // "\StringFileInfo\<block>\<name>"; none when the block has no such string.
  std::optional<std::string> String(const std::string& block, std::string_view name) const;
  // dwFileVersionMS and dwFileVersionLS of the fixed information; none without it.
  std::optional<std::pair<uint32_t, uint32_t>> FixedFileVersion() const;

 private:
  std::vector<unsigned char> info_;
};

}  // namespace updater
