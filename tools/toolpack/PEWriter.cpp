#include "PEWriter.h"

#include <cstring>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "package/pe/PEFile.h"
#include "platform/Utf.h"

namespace updater {
namespace {

uint32_t Align(uint64_t v, uint32_t a) {
  if (a == 0) return static_cast<uint32_t>(v);
  const uint64_t r = (v + a - 1) / a * a;
  if (r > UINT32_MAX) throw std::runtime_error("the image would exceed 4 GB");
  return static_cast<uint32_t>(r);
}
uint32_t Get32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void Put16(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || s.size() > 5 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return std::stoul(s) <= 0xFFFF && std::to_string(std::stoul(s)) == s;
}

// Directory order: named entries by upper-cased UTF-16, then identifiers ascending.
struct Key {
  std::string text;
  bool operator<(const Key& o) const {
    const bool a = IsIdentifier(text), b = IsIdentifier(o.text);
    if (a != b) return !a;
    if (a) return std::stoul(text) < std::stoul(o.text);
    std::u16string x = Utf8ToUtf16(text), y = Utf8ToUtf16(o.text);
    for (auto* s : {&x, &y})
      for (char16_t& c : *s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return x != y ? x < y : text < o.text;
  }
};

using Tree = std::map<Key, std::map<Key, std::map<uint32_t, const NewResource*>>>;

// The directories, data entries and name strings of the section, in front of the data, with the
// data entries left to fill in once each resource's offset and size are known.
struct SectionHead {
  std::vector<unsigned char> bytes;
  std::vector<std::pair<size_t, const NewResource*>> entries;  // entry offset, its resource, in data order
};

SectionHead BuildHead(const Tree& tree) {
  size_t dirs = 16 + 8 * tree.size(), entries = 0;
  std::map<std::string, size_t> strings;
  for (const auto& [type, names] : tree) {
    dirs += 16 + 8 * names.size();
    if (!IsIdentifier(type.text)) strings[type.text];
    for (const auto& [name, langs] : names) {
      dirs += 16 + 8 * langs.size();
      entries += langs.size();
      if (!IsIdentifier(name.text)) strings[name.text];
    }
  }
  size_t at = dirs + 16 * entries;
  for (auto& [text, offset] : strings) {
    offset = at;
    at += 2 + 2 * Utf8ToUtf16(text).size();
    at = (at + 1) & ~size_t{1};
  }
  SectionHead head;
  head.bytes.assign((at + 7) & ~size_t{7}, 0);
  std::vector<unsigned char>& out = head.bytes;
  for (const auto& [text, offset] : strings) {
    const std::u16string u = Utf8ToUtf16(text);
    if (u.size() > 0xFFFF) throw std::runtime_error("resource name too long: " + text);
    Put16(out, offset, static_cast<uint32_t>(u.size()));
    for (size_t i = 0; i < u.size(); ++i) Put16(out, offset + 2 + 2 * i, u[i]);
  }
  auto nameField = [&](const std::string& text) {
    return IsIdentifier(text) ? static_cast<uint32_t>(std::stoul(text)) : 0x80000000u | static_cast<uint32_t>(strings.at(text));
  };
  auto dirHeader = [&](size_t pos, size_t named, size_t ids) {
    Put16(out, pos + 12, static_cast<uint32_t>(named));
    Put16(out, pos + 14, static_cast<uint32_t>(ids));
  };
  auto count = [](const auto& m) {
    size_t named = 0;
    for (const auto& [k, v] : m) named += !IsIdentifier(k.text);
    return std::pair<size_t, size_t>{named, m.size() - named};
  };

  size_t nextDir = 16 + 8 * tree.size(), nextEntry = dirs;
  const auto [tn, ti] = count(tree);
  dirHeader(0, tn, ti);
  size_t typeSlot = 16;
  for (const auto& [type, names] : tree) {
    const size_t typeDir = nextDir;
    nextDir += 16 + 8 * names.size();
    Put32(out, typeSlot, nameField(type.text));
    Put32(out, typeSlot + 4, 0x80000000u | static_cast<uint32_t>(typeDir));
    typeSlot += 8;
    const auto [nn, ni] = count(names);
    dirHeader(typeDir, nn, ni);
    size_t nameSlot = typeDir + 16;
    for (const auto& [name, langs] : names) {
      const size_t nameDir = nextDir;
      nextDir += 16 + 8 * langs.size();
      Put32(out, nameSlot, nameField(name.text));
      Put32(out, nameSlot + 4, 0x80000000u | static_cast<uint32_t>(nameDir));
      nameSlot += 8;
      dirHeader(nameDir, 0, langs.size());
      size_t langSlot = nameDir + 16;
      for (const auto& [lang, r] : langs) {
        Put32(out, langSlot, lang);
        Put32(out, langSlot + 4, static_cast<uint32_t>(nextEntry));
        langSlot += 8;
        Put32(out, nextEntry + 8, r->codePage);
        head.entries.emplace_back(nextEntry, r);
        nextEntry += 16;
      }
    }
  }
  return head;
}

void AppendZeros(ImageSink& out, uint64_t n) {
  static const unsigned char zeros[4096] = {};
  for (; n > 0; n -= std::min<uint64_t>(n, sizeof zeros)) out.Append(zeros, static_cast<size_t>(std::min<uint64_t>(n, sizeof zeros)));
}

// The PE checksum, fed in parts of any size.
class ChecksumState {
 public:
  explicit ChecksumState(uint64_t checksumOffset) : skip_(checksumOffset) {}
  void Add(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i, ++at_) {
      if (at_ >= skip_ && at_ < skip_ + 4) continue;  // the field itself counts as zero
      sum_ += (at_ & 1) ? uint32_t{p[i]} << 8 : p[i];
      if ((at_ & 1) || i + 1 == n) Fold();
    }
  }
  uint32_t Value() {
    Fold();
    Fold();
    return static_cast<uint32_t>(sum_ + at_);
  }

 private:
  void Fold() { sum_ = (sum_ & 0xFFFF) + (sum_ >> 16); }
  uint64_t skip_, at_ = 0, sum_ = 0;
};

class VectorSink final : public ImageSink {
 public:
  std::vector<unsigned char> bytes;
  void Append(const void* d, size_t n) override {
    bytes.insert(bytes.end(), static_cast<const unsigned char*>(d), static_cast<const unsigned char*>(d) + n);
  }
  void Patch(uint64_t offset, const void* d, size_t n) override {
    std::copy(static_cast<const unsigned char*>(d), static_cast<const unsigned char*>(d) + n, bytes.begin() + static_cast<ptrdiff_t>(offset));
  }
  uint64_t Size() const override { return bytes.size(); }
  void ReadBack(const DataWriter& part) override { part(bytes.data(), bytes.size()); }
};

}  // namespace

uint32_t PeChecksum(const std::vector<unsigned char>& image, uint32_t checksumOffset) {
  ChecksumState sum(checksumOffset);
  sum.Add(image.data(), image.size());
  return sum.Value();
}

std::vector<unsigned char> WriteResources(const std::vector<unsigned char>& input, const std::vector<NewResource>& added,
                                          const std::vector<std::string>& dropTypes) {
  VectorSink sink;
  WriteResources(input, added, dropTypes, sink);
  return std::move(sink.bytes);
}

std::vector<NewResource> KeptResources(const TPEResourceModule& module, const std::vector<std::string>& dropTypes) {
  std::vector<NewResource> kept;
  for (size_t i = 0; i < module.ResourceCount(); ++i) {
    const TResourceDetails& r = module.ResourceDetails(i);
    if (std::find(dropTypes.begin(), dropTypes.end(), r.Type()) != dropTypes.end()) continue;
    kept.push_back({r.Type(), r.Name(), r.Language(), r.CodePage(), r.Data(), {}});
  }
  return kept;
}

std::vector<NewResource> KeptResources(const std::vector<unsigned char>& image, const std::vector<std::string>& dropTypes) {
  TPEResourceModule module;
  module.LoadFromSource(std::make_unique<MemorySource>(image.data(), image.size()));
  return KeptResources(module, dropTypes);
}

void WriteResources(const std::vector<unsigned char>& input, const std::vector<NewResource>& added,
                    const std::vector<std::string>& dropTypes, ImageSink& out) {
  TPEResourceModule module;
  module.LoadFromSource(std::make_unique<MemorySource>(input.data(), input.size()));

  // Resources kept from the image, then the added ones over them.
  const std::vector<NewResource> kept = KeptResources(module, dropTypes);
  Tree tree;
  for (const NewResource& r : kept) tree[{r.type}][{r.name}][r.language] = &r;
  for (const NewResource& r : added) tree[{r.type}][{r.name}][r.language] = &r;

  std::vector<unsigned char> image = input;
  const size_t pe = module.PeHeaderOffset();
  const size_t opt = pe + 24;
  const uint32_t sectionAlignment = Get32(image, opt + 32), fileAlignment = Get32(image, opt + 36);
  const uint32_t sizeOfHeaders = Get32(image, opt + 60);
  if (module.DataDirectoryCount() < 5) throw std::runtime_error("the image has too few data directories");

  // A signature would no longer match; drop it when it ends the file.
  const auto [certOffset, certSize] = module.DataDirectory(4);
  if (certOffset != 0 && uint64_t{certOffset} + certSize == image.size()) image.resize(certOffset);
  Put32(image, opt + 96 + 4 * 8, 0);
  Put32(image, opt + 96 + 4 * 8 + 4, 0);

  // A package section this writer appended before (the last section, named .rsrc after the
  // image's own, holding the resource directory and ending the file) is replaced, not kept: its
  // resources were read above, and its bytes would only make the new tool bigger.
  std::vector<SectionHeader> sections;
  for (const TImageSection& s : module.Sections()) sections.push_back(s.Header());
  auto isRsrc = [](const SectionHeader& h) { return std::string(h.name.data(), strnlen(h.name.data(), 8)) == ".rsrc"; };
  if (sections.size() > 1) {
    const SectionHeader& last = sections.back();
    const bool earlier = std::any_of(sections.begin(), sections.end() - 1, isRsrc);
    if (earlier && isRsrc(last) && module.DataDirectory(2).first == last.virtualAddress &&
        uint64_t{last.pointerToRawData} + last.sizeOfRawData == image.size()) {
      image.resize(last.pointerToRawData);
      Put32(image, opt + 8, Get32(image, opt + 8) - last.sizeOfRawData);
      sections.pop_back();
    }
  }
  uint64_t endVa = 0;
  uint64_t firstRaw = image.size();
  for (const SectionHeader& h : sections) {
    endVa = std::max<uint64_t>(endVa, uint64_t{h.virtualAddress} + std::max(h.virtualSize, h.sizeOfRawData));
    if (h.sizeOfRawData) firstRaw = std::min<uint64_t>(firstRaw, h.pointerToRawData);
  }
  const size_t count = sections.size();
  const size_t tableEnd = opt + module.SizeOfOptionalHeader() + 40 * count;
  if (tableEnd + 40 > sizeOfHeaders || tableEnd + 40 > firstRaw)
    throw std::runtime_error("no room in the headers for another section");

  // The section on a page of its own in the file as in memory: the loader can then map it instead
  // of reading it into private memory. (An image aligned below a page is mapped whole anyway.)
  const uint32_t rawAlignment = sectionAlignment >= kPageSize ? std::max(fileAlignment, kPageSize) : fileAlignment;
  const uint32_t va = Align(endVa, sectionAlignment);
  const uint32_t raw = Align(image.size(), rawAlignment);

  // The image as it was (headers patched at the end), then the section: its head, the data of
  // each resource in directory order, each on an 8-byte boundary.
  out.Append(image.data(), image.size());
  AppendZeros(out, raw - image.size());
  SectionHead head = BuildHead(tree);
  out.Append(head.bytes.data(), head.bytes.size());
  uint64_t at = head.bytes.size();
  for (const auto& [entry, r] : head.entries) {
    uint64_t size = 0;
    const DataWriter write = [&](const void* d, size_t n) {
      out.Append(d, n);
      size += n;
    };
    if (r->produce) r->produce(write);
    else write(r->data.data(), r->data.size());
    if (size > 0x7FFFFFFF || at > 0x7FFFFFFF) throw std::runtime_error("the resources exceed 2 GB");
    Put32(head.bytes, entry, va + static_cast<uint32_t>(at));
    Put32(head.bytes, entry + 4, static_cast<uint32_t>(size));
    AppendZeros(out, (8 - size % 8) % 8);
    at += (size + 7) & ~uint64_t{7};
  }
  if (at > 0x7FFFFFFF) throw std::runtime_error("the resources exceed 2 GB");
  const uint32_t sectionSize = static_cast<uint32_t>(at);
  const uint32_t rawSize = Align(sectionSize, rawAlignment);
  AppendZeros(out, rawSize - sectionSize);
  out.Patch(raw, head.bytes.data(), head.bytes.size());

  std::vector<unsigned char> header(40, 0);
  const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  std::copy(name, name + 8, header.begin());
  Put32(header, 8, sectionSize);
  Put32(header, 12, va);
  Put32(header, 16, rawSize);
  Put32(header, 20, raw);
  Put32(header, 36, 0x40000040u);  // initialised data, readable
  std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(tableEnd));
  Put16(image, pe + 6, static_cast<uint32_t>(count + 1));
  Put32(image, opt + 8, Get32(image, opt + 8) + rawSize);
  Put32(image, opt + 56, Align(uint64_t{va} + sectionSize, sectionAlignment));
  Put32(image, opt + 96 + 2 * 8, va);
  Put32(image, opt + 96 + 2 * 8 + 4, sectionSize);
  Put32(image, opt + 64, 0);
  out.Patch(0, image.data(), sizeOfHeaders);
  ChecksumState sum(opt + 64);
  out.ReadBack([&](const void* d, size_t n) { sum.Add(static_cast<const unsigned char*>(d), n); });
  std::vector<unsigned char> checksum(4, 0);
  Put32(checksum, 0, sum.Value());
  out.Patch(opt + 64, checksum.data(), 4);
}

}  // namespace updater
