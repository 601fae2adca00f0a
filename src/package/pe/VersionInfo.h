#pragma once
// Reads a version resource (VS_VERSIONINFO) from its bytes, for tools that cannot ask the
// operating system. Pure; malformed data give what could be read.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace updater {

struct VersionInfo {
  std::optional<std::pair<uint32_t, uint32_t>> fixedFileVersion;  // MS, LS
  std::vector<std::pair<uint16_t, uint16_t>> translations;        // language, code page
  std::map<std::string, std::map<std::string, std::string>> strings;  // block name ("041204b0") -> key -> value
};

VersionInfo ParseVersionInfo(const std::vector<unsigned char>& data);

// The version text of a kind by the tool's rule (see VersionText); "0.0.0.0" without one.
std::string VersionTextOf(const VersionInfo& info, int kind);

}  // namespace updater
