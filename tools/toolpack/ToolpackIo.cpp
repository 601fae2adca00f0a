#include "ToolpackIo.h"

#include <cstdio>
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
