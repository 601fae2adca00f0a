#pragma once
// Version texts as the tool compares them, and the size text. Pure.
#include <cstdint>
#include <string>
#include <string_view>

#include "env/PathText.h"

namespace updater {

inline constexpr std::string_view kNoVersion = "0.0.0.0";

// Version resource string selected by a version field kind; unknown kinds read "FileVersion".
std::string_view VersionStringName(int kind);
// "%.4x%.4x" of a translation pair.
std::string TranslationBlockName(uint16_t language, uint16_t codePage);
// A FileVersion string such as "6, 0, 2, 80" or "6.0.2.80 beta" is replaced by the fixed information.
bool NeedsNumericVersion(std::string_view fileVersionText);
std::string NumericVersionText(uint32_t fileVersionMS, uint32_t fileVersionLS);

std::string Dotless(std::string_view version);
// Ordinal byte comparison: negative, zero or positive. 6.0.10.1 (60101) sorts before 6.0.9.50 (60950).
int CompareDotless(std::string_view a, std::string_view b);

// "1,023Byte", "1,023KB", "1.00MB"; empty from 1 GiB on.
std::string SizeText(int64_t bytes, const NumberFormat& fmt);

}  // namespace updater
