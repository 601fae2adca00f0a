#include "ToolpackIo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif
#include <fstream>

#include "core/PathText.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

fs::path Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string Printable(const std::string& name) {
  std::string out;
  for (char c : name) out += c == kNameSeparator ? std::string("|") : std::string(1, c);
  return out;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

Progress::Progress(std::string what, uint64_t total)
    : what_(std::move(what)), total_(total), shown_(total > (100u << 20) && isatty(fileno(stderr))), start_(Now()) {}

Progress::~Progress() {
  if (!shown_) return;
  last_ = 0;
  Show();
  std::cerr << "\n";
}

void Progress::Add(uint64_t bytes) {
  done_ += bytes;
  if (shown_ && Now() - last_ >= 0.25) Show();
}

void Progress::Show() {
  last_ = Now();
  const double seconds = std::max(last_ - start_, 0.001);
  char line[160];
  std::snprintf(line, sizeof line, "\r%s: %llu of %llu MB, %.0f MB/s   ", what_.c_str(), static_cast<unsigned long long>(done_ >> 20),
                static_cast<unsigned long long>(total_ >> 20), static_cast<double>(done_ >> 20) / seconds);
  std::cerr << line << std::flush;
}

std::vector<unsigned char> ReadBinary(const std::string& path) {
  std::ifstream in(Path(path), std::ios::binary | std::ios::ate);
  if (!in) throw Error(path, "cannot open the file");
  std::vector<unsigned char> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) throw Error(path, "cannot read the file");
  return bytes;
}

}  // namespace updater::toolpack
