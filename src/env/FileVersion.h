#pragma once
// Versions and facts of files on disk, as the copy rules read them.
#include <cstdint>
#include <string>
#include <string_view>


namespace updater {

// Selected string of the version resource (kinds as in VersionStringName); "0.0.0.0" without one.
std::string VersionText(std::string_view path, int kind = 1);
// "a.b.c.d" from the fixed file information; empty when it cannot be read.
std::string NumericVersion(std::string_view path);
std::string FileSizeText(int64_t bytes);  // with the system's separators


}  // namespace updater
