#include "env/FileVersion.h"

#include <vector>

#include "core/VersionRules.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/VersionResource.h"

namespace updater {

std::string VersionText(std::string_view path, int kind) {
  const VersionResource resource(path);
  const std::vector<std::pair<uint16_t, uint16_t>> translations = resource.Translations();
  if (translations.empty()) return std::string(kNoVersion);
  return SelectVersionText(
      translations, kind, [&](const std::string& block, std::string_view name) { return resource.String(block, name); },
      [&] { return NumericVersion(path); });
}

std::string NumericVersion(std::string_view path) {
  const std::optional<std::pair<uint32_t, uint32_t>> fixed = VersionResource(path).FixedFileVersion();
  return fixed ? NumericVersionText(fixed->first, fixed->second) : std::string();
}


std::string FileSizeText(int64_t bytes) {
  const NumberSigns signs = SystemNumberSigns();
  NumberFormat fmt;
  if (!signs.thousands.empty()) fmt.thousands = signs.thousands;
  if (!signs.decimal.empty()) fmt.decimal = signs.decimal;
  return SizeText(bytes, fmt);
}

}  // namespace updater
