#include "package/pe/VersionInfo.h"

#include "core/VersionRules.h"
#include "platform/Utf.h"

namespace updater {
namespace {

struct Block {
  std::u16string key;
  size_t valueAt = 0, valueBytes = 0;
  uint16_t type = 0;
  size_t childrenAt = 0, end = 0;
};

uint16_t U16(const std::vector<unsigned char>& d, size_t at) { return static_cast<uint16_t>(d[at] | (d[at + 1] << 8)); }
size_t Align4(size_t v) { return (v + 3) & ~size_t{3}; }

std::optional<Block> ReadBlock(const std::vector<unsigned char>& d, size_t at, size_t limit) {
  if (at + 6 > limit) return std::nullopt;
  Block b;
  const size_t length = U16(d, at);
  const size_t valueLength = U16(d, at + 2);
  b.type = U16(d, at + 4);
  if (length < 6 || at + length > limit) return std::nullopt;
  b.end = at + length;
  size_t p = at + 6;
  while (p + 2 <= b.end && U16(d, p) != 0) {
    b.key.push_back(static_cast<char16_t>(U16(d, p)));
    p += 2;
  }
  p = Align4(p + 2);
  b.valueAt = p;
  b.valueBytes = b.type == 1 ? valueLength * 2 : valueLength;  // text values count words
  if (b.valueAt > b.end) b.valueAt = b.end;
  if (b.valueBytes > b.end - b.valueAt) b.valueBytes = b.end - b.valueAt;
  b.childrenAt = Align4(b.valueAt + b.valueBytes);
  return b;
}

template <typename F>
void ForChildren(const std::vector<unsigned char>& d, const Block& parent, F f) {
  for (size_t at = parent.childrenAt; at < parent.end;) {
    const std::optional<Block> child = ReadBlock(d, at, parent.end);
    if (!child) return;
    f(*child);
    at = Align4(child->end);
  }
}

std::string Text(const std::vector<unsigned char>& d, const Block& b) {
  std::u16string s;
  for (size_t p = b.valueAt; p + 2 <= b.valueAt + b.valueBytes; p += 2) {
    const char16_t c = static_cast<char16_t>(U16(d, p));
    if (c == 0) break;
    s.push_back(c);
  }
  return Utf16ToUtf8(s);
}

}  // namespace

VersionInfo ParseVersionInfo(const std::vector<unsigned char>& d) {
  VersionInfo info;
  const std::optional<Block> root = ReadBlock(d, 0, d.size());
  if (!root) return info;
  if (root->valueBytes >= 52 && U16(d, root->valueAt) == 0x04BD && U16(d, root->valueAt + 2) == 0xFEEF) {
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(U16(d, at)) | (static_cast<uint32_t>(U16(d, at + 2)) << 16); };
    info.fixedFileVersion = std::make_pair(u32(root->valueAt + 8), u32(root->valueAt + 12));
  }
  ForChildren(d, *root, [&](const Block& section) {
    if (section.key == u"StringFileInfo") {
      ForChildren(d, section, [&](const Block& table) {
        // Block names are hex, written in either case ("041204B0"); the system finds both.
        auto& strings = info.strings[ToLowerAscii(Utf16ToUtf8(table.key))];
        ForChildren(d, table, [&](const Block& s) { strings[Utf16ToUtf8(s.key)] = Text(d, s); });
      });
    } else if (section.key == u"VarFileInfo") {
      ForChildren(d, section, [&](const Block& var) {
        if (var.key != u"Translation") return;
        for (size_t p = var.valueAt; p + 4 <= var.valueAt + var.valueBytes; p += 4)
          info.translations.emplace_back(U16(d, p), U16(d, p + 2));
      });
    }
  });
  return info;
}

std::string VersionTextOf(const VersionInfo& info, int kind) {
  return SelectVersionText(info.translations, kind,
                           [&](const std::string& block, std::string_view name) -> std::optional<std::string> {
                             const auto table = info.strings.find(ToLowerAscii(block));
                             if (table == info.strings.end()) return std::nullopt;
                             const auto value = table->second.find(std::string(name));
                             if (value == table->second.end()) return std::nullopt;
                             return value->second;
                           },
                           [&] {
                             return info.fixedFileVersion ? NumericVersionText(info.fixedFileVersion->first, info.fixedFileVersion->second)
                                                          : std::string{};
                           });
}

}  // namespace updater
