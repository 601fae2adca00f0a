// The reading every command shares: a tool's resources with their parsed names.
#include "PackageEntry.h"

#include <fstream>

#include "core/PathText.h"
#include "package/Inflate.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

fs::path Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

uint64_t InflatedSize(const TResourceDetails& r) { return InflateStream(r.Reader(), [](const void*, size_t) {}); }

std::vector<PackageEntry> Entries(const TPEResourceModule& m) {
  std::vector<PackageEntry> entries;
  for (size_t i = 0; i < m.ResourceCount(); ++i) {
    const TResourceDetails& r = m.ResourceDetails(i);
    PackageEntry e{&r, std::nullopt, {}};
    const std::vector<std::string> fields = SplitResourceName(r.Name());
    if (fields.size() >= 7) {
      try {
        e.fields = ParseResourceName(r.Type(), fields);
      } catch (const std::exception& ex) {
        e.error = ex.what();
      }
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

bool IsPackageType(const std::string& type) {
  const std::string t = ToUpperAscii(type);
  return t == kModuleType || t == kPrevToolType || t == kUpdateConfigType;
}

std::string Printable(const std::string& name) {
  std::string out;
  for (char c : name) out += c == kNameSeparator ? std::string("|") : std::string(1, c);
  return out;
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
