#include "package/pe/PEFile.h"

#include <algorithm>
#include <set>

#include "platform/Utf.h"

namespace updater {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;
constexpr uint32_t kPeSignature = 0x4550;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// No real package comes near this; a hostile directory does not get to fill the address space.
constexpr size_t kMaxResources = 100000;

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

template <size_t N>
std::array<unsigned char, N> ReadArray(const ByteSource& s, uint64_t offset) {
  std::array<unsigned char, N> a{};
  s.Read(offset, a.data(), N);
  return a;
}

}  // namespace

// ---- TResourceDetails ----

void TResourceDetails::ReadData(uint64_t offset, void* dst, size_t n) const {
  if (offset > dataSize_ || n > dataSize_ - offset) throw std::out_of_range("Read beyond the resource data");
  owner_.Source().Read(dataOffset_ + offset, dst, n);
}

std::function<size_t(void*, size_t)> TResourceDetails::Reader() const {
  return [this, at = uint64_t{0}](void* buf, size_t max) mutable {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(max, dataSize_ - at));
    ReadData(at, buf, n);
    at += n;
    return n;
  };
}

std::vector<unsigned char> TResourceDetails::Data() const {
  std::vector<unsigned char> data(dataSize_);
  ReadData(0, data.data(), data.size());
  return data;
}

ResourceDataKind ClassifyResourceData(const unsigned char* head, size_t n, uint32_t dataSize) {
  if (dataSize == 0) return ResourceDataKind::Plain;
  auto printable = [](unsigned c) { return (c >= 32 && c <= 127) || c == '\t' || c == '\n' || c == '\r'; };
  if (std::all_of(head, head + n, [&](unsigned char c) { return printable(c); })) return ResourceDataKind::Ansi;
  if (dataSize > 5) {
    bool text = true;
    for (size_t i = 0; i + 1 < n && text; i += 2) text = head[i + 1] == 0 && printable(head[i]);
    if (text) return ResourceDataKind::Unicode;
  }
  return ResourceDataKind::Plain;
}

// ---- TResourceModule ----

void TResourceModule::LoadFromFile(const std::string& path) { LoadFromSource(std::make_unique<FileSource>(path)); }

const TResourceDetails* TResourceModule::FindResourceDetails(const std::string& type, const std::string& name,
                                                      uint32_t language) const {
  const TResourceDetails* neutral = nullptr;
  for (size_t i = 0; i < ResourceCount(); ++i) {
    const TResourceDetails& r = ResourceDetails(i);
    if (r.Type() != type || r.Name() != name) continue;
    if (r.Language() == language) return &r;
    if (r.Language() == 0 && !neutral) neutral = &r;
  }
  return neutral;
}

// ---- TImageSection ----

TImageSection::TImageSection(const SectionHeader& h, uint64_t fileSize) : header_(h) {
  // Raw data past the end of the file is a cut-short image (an interrupted download), not an
  // empty section: reading it as empty would make a damaged tool look like one with no files.
  if (h.sizeOfRawData != 0 && uint64_t{h.pointerToRawData} + h.sizeOfRawData > fileSize)
    throw EPEException("Invalid Windows Image");
  dataSize_ = h.virtualSize == 0 ? h.sizeOfRawData : std::min(h.sizeOfRawData, h.virtualSize);
}

// ---- TPEModule ----

void TPEModule::LoadFromSource(std::unique_ptr<ByteSource> source) {
  source_ = std::move(source);
  optional_.clear();
  sections_.clear();
  Decode();
}

void TPEModule::Decode() {
  const ByteSource& s = *source_;
  if (!s.Contains(0, 64)) throw EPEException("Invalid DOS signature");
  const auto dos = ReadArray<64>(s, 0);
  if (U16(dos.data()) != kDosSignature) throw EPEException("Invalid DOS signature");
  peOffset_ = U32(dos.data() + 60);
  if (!s.Contains(peOffset_, 24)) throw EPEException("Invalid COFF signature");
  const auto pe = ReadArray<24>(s, peOffset_);
  if (U32(pe.data()) != kPeSignature) throw EPEException("Invalid COFF signature");
  const uint16_t sectionCount = U16(pe.data() + 6);
  optionalSize_ = U16(pe.data() + 20);
  const uint64_t optionalOffset = uint64_t{peOffset_} + 24;
  if (optionalSize_ < 2 || !s.Contains(optionalOffset, optionalSize_)) throw EPEException("Invalid Windows Image");
  optional_.resize(optionalSize_);  // at most 65535 bytes
  s.Read(optionalOffset, optional_.data(), optional_.size());
  if (U16(optional_.data()) != kPe32Magic) throw EPEException("Invalid Windows Image");

  const uint64_t tableOffset = optionalOffset + optionalSize_;
  if (!s.Contains(tableOffset, uint64_t{sectionCount} * 40)) throw EPEException("Invalid Windows Image");
  sections_.reserve(sectionCount);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const auto raw = ReadArray<40>(s, tableOffset + uint64_t{i} * 40);
    SectionHeader h;
    std::copy(raw.begin(), raw.begin() + 8, h.name.begin());
    h.virtualSize = U32(raw.data() + 8);
    h.virtualAddress = U32(raw.data() + 12);
    h.sizeOfRawData = U32(raw.data() + 16);
    h.pointerToRawData = U32(raw.data() + 20);
    h.characteristics = U32(raw.data() + 36);
    sections_.emplace_back(h, s.Size());
  }
}

uint32_t TPEModule::DataDirectoryCount() const {
  if (optional_.size() < 96) return 0;
  const uint32_t stated = U32(optional_.data() + 92);
  return std::min<uint32_t>(stated, static_cast<uint32_t>((optional_.size() - 96) / 8));
}

std::pair<uint32_t, uint32_t> TPEModule::DataDirectory(uint32_t index) const {
  if (index >= DataDirectoryCount()) throw std::out_of_range("Index exceeds data dictionary count");
  const unsigned char* p = optional_.data() + 96 + index * 8;
  return {U32(p), U32(p + 4)};
}

// ---- TPEResourceModule ----

void TPEResourceModule::Decode() {
  resources_.clear();
  TPEModule::Decode();
  const uint32_t rva = DataDirectory(kResourceDirectory).first;
  for (const TImageSection& section : Sections()) {
    const SectionHeader& h = section.Header();
    if (h.virtualAddress <= rva && uint64_t{h.virtualAddress} + h.virtualSize > rva) {
      std::set<uint64_t> visited;
      std::string type, name;
      uint32_t language = 0;
      Walk(section, rva - h.virtualAddress, 0, 1, visited, type, name, language);
      return;
    }
  }
}

std::optional<std::string> TPEResourceModule::EntryText(const TImageSection& section, uint64_t root, uint32_t field) const {
  if (!(field & kHighBit)) return std::to_string(field);
  const uint64_t at = root + (field & ~kHighBit);
  if (at > section.DataSize() || section.DataSize() - at < 2) return std::nullopt;
  unsigned char len[2];
  Source().Read(section.DataOffset() + at, len, 2);
  const uint64_t units = U16(len);
  if (section.DataSize() - at - 2 < units * 2) return std::nullopt;
  std::u16string text(units, u'\0');
  std::vector<unsigned char> raw(units * 2);  // at most 128 KiB
  if (units) Source().Read(section.DataOffset() + at + 2, raw.data(), raw.size());
  for (uint64_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(U16(raw.data() + 2 * i));
  return Utf16ToUtf8(text);
}

void TPEResourceModule::Walk(const TImageSection& section, uint64_t root, uint64_t dir, int level,
                             std::set<uint64_t>& visited, std::string& type, std::string& name, uint32_t& language) {
  const uint64_t size = section.DataSize();
  const uint64_t at = root + dir;
  if (at > size || size - at < 16 || !visited.insert(at).second) return;
  const ByteSource& s = Source();
  const auto header = ReadArray<16>(s, section.DataOffset() + at);
  const uint32_t count = uint32_t{U16(header.data() + 12)} + U16(header.data() + 14);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entryAt = at + 16 + uint64_t{i} * 8;
    if (entryAt > size || size - entryAt < 8) return;  // the table runs out of the section
    const auto entry = ReadArray<8>(s, section.DataOffset() + entryAt);
    const uint32_t nameField = U32(entry.data()), dataField = U32(entry.data() + 4);
    if (level == 3) {
      if (nameField & kHighBit) throw EPEException("Unsupported non-integer language ID in resource");
      language = nameField;
    } else {
      const std::optional<std::string> text = EntryText(section, root, nameField);
      if (!text) continue;  // a damaged name lists nothing below it
      (level == 1 ? type : name) = *text;
    }
    if (dataField & kHighBit) {
      if (level < 3) Walk(section, root, dataField & ~kHighBit, level + 1, visited, type, name, language);
      continue;
    }
    const uint64_t dataEntryAt = root + dataField;
    if (dataEntryAt > size || size - dataEntryAt < 16) continue;
    const auto dataEntry = ReadArray<16>(s, section.DataOffset() + dataEntryAt);
    const uint32_t dataRva = U32(dataEntry.data()), dataSize = U32(dataEntry.data() + 4), codePage = U32(dataEntry.data() + 8);
    const uint32_t va = section.Header().virtualAddress;
    if (dataRva < va || dataRva - va > size || size - (dataRva - va) < dataSize) continue;  // outside its section
    if (resources_.size() >= kMaxResources) throw EPEException("Too many resources in the image");
    const uint64_t fileOffset = section.DataOffset() + (dataRva - va);
    unsigned char head[1024];
    const size_t headSize = std::min<uint32_t>(dataSize, sizeof head);
    s.Read(fileOffset, head, headSize);
    switch (ClassifyResourceData(head, headSize, dataSize)) {
      case ResourceDataKind::Ansi:
        resources_.push_back(std::make_unique<TAnsiResourceDetails>(*this, type, name, language, codePage, fileOffset, dataSize));
        break;
      case ResourceDataKind::Unicode:
        resources_.push_back(std::make_unique<TUnicodeResourceDetails>(*this, type, name, language, codePage, fileOffset, dataSize));
        break;
      default:
        resources_.push_back(std::make_unique<TResourceDetails>(*this, type, name, language, codePage, fileOffset, dataSize));
    }
  }
}

}  // namespace updater
