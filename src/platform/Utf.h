#pragma once
// UTF-8 <-> UTF-16 without the operating system, so the text layer builds and tests natively.
#include <string>
#include <string_view>

namespace updater {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace updater
