// The reading every command shares: a tool's resources with their parsed names.
#include "PackageEntry.h"

#include <cstdio>
#include <fstream>

#include "core/PathText.h"
#include "package/Inflate.h"
#include "platform/Sha256.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

fs::path Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

uint64_t InflatedSize(const TResourceDetails& r) { return InflateStream(r.Reader(), [](const void*, size_t) {}); }

uint64_t ReadStaged(const TResourceDetails& r, bool plain, const OutputSink& sink) {
  if (!plain) return InflateStream(r.Reader(), sink);
  const InputReader read = r.Reader();
  std::vector<char> block(1 << 20);
  uint64_t size = 0;
  while (const size_t n = read(block.data(), block.size())) {
    sink(block.data(), n);
    size += n;
  }
  return size;
}

StagedDigest DigestOfStaged(const TResourceDetails& r, bool plain) {
  Sha256 hash;
  StagedDigest d;
  d.size = ReadStaged(r, plain, [&](const void* data, size_t n) { hash.Add(data, n); });
  d.sha256 = hash.HexDigest();
  return d;
}

std::optional<std::vector<FileDigest>> DigestListOf(const TPEResourceModule& m, const std::string& toolPath) {
  const TResourceDetails* r = m.FindResourceDetails(std::string(kDigestType), std::string(kDigestName), kPackageLanguage);
  if (!r) return std::nullopt;
  const std::vector<unsigned char> text = r->Data();
  try {
    return ParseDigestList(std::string(text.begin(), text.end()));
  } catch (const std::exception& e) {
    throw Error(toolPath, std::string("damaged digest list: ") + e.what());
  }
}

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

PackageSummary Summarize(const std::vector<PackageEntry>& entries) {
  PackageSummary s;
  for (const PackageEntry& e : entries) {
    if (!e.fields) continue;
    const std::string type = ToUpperAscii(e.resource->Type());
    const TUpdateFileResource& f = *e.fields;
    auto payload = [&] {
      std::string text;
      ReadStaged(*e.resource, f.StoredPlain != 0, [&](const void* d, size_t n) { text.append(static_cast<const char*>(d), n); });
      return text;
    };
    if (type == kModuleType) {
      if (ToUpperAscii(f.FileName).find("VEROZ") != std::string::npos && IsDataToolName(f.FileName)) s.dataTool = f.FileName;
      if (IsDocumentIndex(f.SubFolderIndex)) s.document = f.FileName;
    } else if (type == kUpdateConfigType) {
      s.options = ParseUpdateConfig(payload());
    } else if (type == kPrevToolType) {
      s.prevTool = PrevToolNumber(payload());
    }
  }
  return s;
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
