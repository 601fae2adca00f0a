#pragma once
// What the commands share besides the package's reader: paths as UTF-8, whole small files, JSON
// text and printable resource names.
#include <cstdint>
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

// Progress of a long step on standard error, as curl or rsync show it: only when standard error is a
// terminal and the work is over 100 MB; at most four lines a second, the last one ended at the end.
class Progress {
 public:
  Progress(std::string what, uint64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Add(uint64_t bytes);

 private:
  void Show();
  std::string what_;
  uint64_t total_, done_ = 0;
  bool shown_;
  double start_, last_ = 0;
};

// A small file whole (an image, a manifest).
std::vector<unsigned char> ReadBinary(const std::string& path);

}  // namespace updater::toolpack
