#include "core/VersionRules.h"

#include <cstdio>
#include <string>

namespace updater {

std::string_view VersionStringName(int kind) {
  switch (kind) {
    case 0: return "FileDescription";
    case 2: return "LegalCopyright";
    case 3: return "OriginalFileName";
    case 4: return "ProductName";
    case 5: return "ProductVersion";
    case 6: return "Comments";
    default: return "FileVersion";
  }
}

std::string TranslationBlockName(uint16_t language, uint16_t codePage) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.4x%.4x", language, codePage);
  return buf;
}

bool NeedsNumericVersion(std::string_view text) {
  return text.find(' ') != std::string_view::npos || text.find(',') != std::string_view::npos;
}

std::string NumericVersionText(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
         std::to_string(ls & 0xFFFF);
}

std::string SelectVersionText(const std::vector<std::pair<uint16_t, uint16_t>>& translations, int kind,
                              const VersionStringQuery& query, const std::function<std::string()>& numericVersion) {
  std::string result(kNoVersion);
  const std::string_view name = VersionStringName(kind);
  for (const auto& [language, codePage] : translations)
    if (const std::optional<std::string> value = query(TranslationBlockName(language, codePage), name)) result = Trim(*value);
  if (kind == 1 && NeedsNumericVersion(result)) result = numericVersion();
  return result;
}

std::string Dotless(std::string_view version) {
  std::string out;
  for (char c : version)
    if (c != '.') out.push_back(c);
  return out;
}

std::string StagedDotless(std::string_view version) {
  std::string out;
  for (char c : version)
    if (c != '.' && c != ',' && c != ' ') out.push_back(c);
  return out;
}

CopyDecision DecideCopy(std::string_view installedVersion, std::string_view stagedVersion, const std::function<bool()>& sizesDiffer,
                        uint8_t copyType) {
  CopyDecision d;
  d.installedDotless = Dotless(installedVersion);
  if (CompareDotless(d.installedDotless, StagedDotless(stagedVersion)) < 0) d.reason = CopyReason::Older;
  else if (installedVersion == kNoVersion && stagedVersion == kNoVersion && sizesDiffer()) d.reason = CopyReason::SizesDiffer;
  else if (copyType == 7) d.reason = CopyReason::Forced;
  d.copy = d.reason != CopyReason::SameOrNewer;
  return d;
}

std::string_view CopyReasonText(CopyReason reason) {
  switch (reason) {
    case CopyReason::Older: return "the installed version is older";
    case CopyReason::SizesDiffer: return "neither has a version and the sizes differ";
    case CopyReason::Forced: return "copy type 7 deploys whatever is installed";
    case CopyReason::SameOrNewer: break;
  }
  return "the installed version is the same or newer";
}

int CompareDotless(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare orders as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string SizeText(int64_t n, const NumberFormat& fmt) {
  if (n < 1024) return GroupedInteger(n, fmt) + "Byte";
  const int64_t kb = n / 1024;
  if (kb < 1024) return GroupedInteger(kb, fmt) + "KB";
  if (kb / 1024 < 1024) return GroupedDecimal(std::to_string(static_cast<double>(kb) / 1024.0), 2, fmt) + "MB";
  return {};
}

}  // namespace updater
