#pragma once
// Version texts as the tool compares them, and the size text. Pure.
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>
#include <string>
#include <string_view>

#include "core/PathText.h"

namespace updater {

inline constexpr std::string_view kNoVersion = "0.0.0.0";

// Version resource string selected by a version field kind; unknown kinds read "FileVersion".
std::string_view VersionStringName(int kind);
// "%.4x%.4x" of a translation pair.
std::string TranslationBlockName(uint16_t language, uint16_t codePage);
// A FileVersion string such as "6, 0, 2, 80" or "6.0.2.80 beta" is replaced by the fixed information.
bool NeedsNumericVersion(std::string_view fileVersionText);
std::string NumericVersionText(uint32_t fileVersionMS, uint32_t fileVersionLS);

// The version text of a kind: "0.0.0.0" to start; for each translation in order the string of that
// block, trimmed, when it exists (the last one found wins); for FileVersion a text with a blank or
// a comma is replaced by the numeric version.
using VersionStringQuery = std::function<std::optional<std::string>(const std::string& block, std::string_view name)>;
std::string SelectVersionText(const std::vector<std::pair<uint16_t, uint16_t>>& translations, int kind,
                              const VersionStringQuery& query, const std::function<std::string()>& numericVersion);

std::string Dotless(std::string_view version);
// A staged file's version as the update list keeps it: without dots, commas and blanks.
std::string StagedDotless(std::string_view version);
// The version decision: copy when the installed dotless version is smaller, when both files have
// no version and differ in size (asked only then), or for copy type 7.
enum class CopyReason {
  Older,        // the installed version sorts before the staged one
  SizesDiffer,  // neither has a version and the sizes differ
  Forced,       // copy type 7 copies whatever is installed
  SameOrNewer,  // none of these: the installed file stays
};
struct CopyDecision {
  bool copy = false;
  CopyReason reason = CopyReason::SameOrNewer;
  std::string installedDotless;
};
// The reason in words, as a release engineer reads it.
std::string_view CopyReasonText(CopyReason reason);
CopyDecision DecideCopy(std::string_view installedVersion, std::string_view stagedVersion, const std::function<bool()>& sizesDiffer,
                        uint8_t copyType);
// Ordinal byte comparison: negative, zero or positive. 6.0.10.1 (60101) sorts before 6.0.9.50 (60950).
int CompareDotless(std::string_view a, std::string_view b);

// "1,023Byte", "1,023KB", "1.00MB"; empty from 1 GiB on.
std::string SizeText(int64_t bytes, const NumberFormat& fmt);

}  // namespace updater
