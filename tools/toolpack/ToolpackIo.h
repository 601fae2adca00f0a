#pragma once
// What the commands share besides the package's reader: paths as UTF-8, whole small files, JSON
// text and printable resource names.
#include <filesystem>
#include <string>
#include <vector>

#include "Toolpack.h"

namespace updater::toolpack {

// Paths as UTF-8 text, whatever the system's code page.
std::filesystem::path Path(const std::string& utf8);
std::string Utf8(const std::filesystem::path& p);

// A resource name with its separators shown as "|".
std::string Printable(const std::string& name);

// A JSON string literal of UTF-8 text; null for an empty text where a value is absent.
std::string Json(const std::string& text);
inline std::string JsonOrNull(const std::string& text) { return text.empty() ? "null" : Json(text); }

// A small file whole (an image, a manifest).
std::vector<unsigned char> ReadBinary(const std::string& path);

}  // namespace updater::toolpack
