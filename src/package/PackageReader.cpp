#include "package/PackageReader.h"

#include <algorithm>
#include <memory>

#include "core/PathText.h"
#include "platform/Sha256.h"

namespace updater {
namespace {

// Plain payloads are read in larger blocks than the 4096-byte inflate blocks.
constexpr size_t kPlainBlock = 256 * 1024;
// A digest list is one line a file; far above any real package, far below what a run could hold.
constexpr size_t kLargestDigestList = 16u << 20;

void AddOnce(std::vector<std::string>& list, const std::string& name) {
  if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
}

// The names the pre-scan takes from every entry, whatever its type.
void NoteName(ToolOptions& found, const TUpdateFileResource& record) {
  const std::string& name = record.FileName;
  if (!Trim(name).empty()) {
    switch (ClassifyPackageName(name)) {
      case NameClass::Dll: AddOnce(found.dlls, ToLowerAscii(name)); break;
      case NameClass::Exe: AddOnce(found.exes, ToLowerAscii(name)); break;
      case NameClass::None: break;
    }
  }
  if (IsDataToolName(name)) found.dataTool = name;
  if (IsDocumentIndex(record.SubFolderIndex)) found.document = name;
}

void ReadControl(ToolOptions& found, const std::string& type, const std::string& text, ScanEvents& events) {
  if (type == kPrevToolType) {
    if (const std::optional<std::string> number = PrevToolNumber(text)) {
      found.prevTool = "VEROZ" + *number + ".exe";
      events.PrevToolFound(*found.prevTool);
    }
    return;
  }
  const UpdateOptions options = ParseUpdateConfig(text);
  found.hidden = options.Hidden;
  found.openDocuments = !options.NotExecManual;
  found.autoRunDataTool = options.AutoExecTetbl;
  events.OptionsFound(found);
}

}  // namespace

DamagedResource::DamagedResource(const std::string& what, const std::string& fileName)
    : std::runtime_error("Damaged resource: " + what + " \"" + fileName + "\"") {}

bool IsControlType(const std::string& type) {
  const std::string t = ToUpperAscii(type);
  return t == kPrevToolType || t == kUpdateConfigType;
}

bool IsPackageType(const std::string& type) { return IsControlType(type) || ToUpperAscii(type) == kModuleType; }

uint64_t ReadStaged(const TResourceDetails& payload, bool plain, const OutputSink& sink) {
  if (!plain) return InflateStream(payload.Reader(), sink);
  const InputReader read = payload.Reader();
  std::vector<char> block(kPlainBlock);
  uint64_t size = 0;
  while (const size_t n = read(block.data(), block.size())) {
    sink(block.data(), n);
    size += n;
  }
  return size;
}

PackageReader::PackageReader(const TPEResourceModule& module) : module_(module) {
  entries_.reserve(module.ResourceCount());
  for (size_t i = 0; i < module.ResourceCount(); ++i) {
    PackageEntry e;
    e.resource = &module.ResourceDetails(i);
    e.index = i;
    const std::vector<std::string> fields = SplitResourceName(e.resource->Name());
    if (fields.size() >= 7) {
      try {
        e.fields = ParseResourceName(e.resource->Type(), fields);
      } catch (const std::exception& ex) {
        e.error = ex.what();
      }
    }
    entries_.push_back(std::move(e));
  }
}

const TResourceDetails& PackageReader::Payload(const PackageEntry& entry) const {
  const TResourceDetails* r = module_.FindResourceDetails(entry.resource->Type(), entry.resource->Name(), kPackageLanguage);
  if (!r) throw std::runtime_error("Resource " + entry.resource->Type() + " not found for language " + std::to_string(kPackageLanguage));
  return *r;
}

std::optional<std::vector<FileDigest>> PackageReader::Digests() const {
  const TResourceDetails* r = module_.FindResourceDetails(std::string(kDigestType), std::string(kDigestName), kPackageLanguage);
  if (!r) return std::nullopt;
  if (r->DataSize() > kLargestDigestList) throw DamagedResource("digest list too large", std::string(kDigestName));
  const std::vector<unsigned char> text = r->Data();
  try {
    return ParseDigestList(std::string(text.begin(), text.end()));
  } catch (const std::exception& e) {
    throw DamagedResource(e.what(), std::string(kDigestName));
  }
}

ToolOptions PackageReader::Scan(ScanEvents& events) const {
  ToolOptions found;
  for (const PackageEntry& e : entries_) {
    if (!e.error.empty()) throw std::invalid_argument(e.error);
    if (!e.fields) continue;
    const TUpdateFileResource& record = *e.fields;
    const TResourceDetails& payload = Payload(e);
    NoteName(found, record);
    if (!IsControlType(e.resource->Type())) continue;
    if (const std::optional<std::string> damage = EntryDamage(record, false)) throw DamagedResource(*damage, record.FileName);
    const std::string text = events.ControlText(record, payload);
    try {
      ReadControl(found, ToUpperAscii(e.resource->Type()), text, events);
    } catch (...) {
      events.ControlDone(record);
      throw;
    }
    events.ControlDone(record);
  }
  return found;
}

size_t PackageReader::Stage(StagingSink& sink, bool* digestsChecked) const {
  if (digestsChecked)
    *digestsChecked = module_.FindResourceDetails(std::string(kDigestType), std::string(kDigestName), kPackageLanguage) != nullptr;
  const std::optional<std::vector<FileDigest>> digests = Digests();
  std::vector<std::string> staged;
  for (const PackageEntry& e : entries_) {
    sink.Doing("");
    if (e.resource->Type() != kModuleType) continue;
    if (!e.error.empty()) throw std::invalid_argument(e.error);
    if (!e.fields) continue;
    const TUpdateFileResource& record = *e.fields;
    const std::string& name = record.FileName;
    sink.Doing(name + "_LoadFromStream");
    if (const std::optional<std::string> damage = EntryDamage(record, true)) throw DamagedResource(*damage, name);
    std::optional<std::string> expected;
    std::unique_ptr<BackgroundSha256> hash;
    if (digests) {
      expected = DigestOf(*digests, name);
      if (!expected) throw DamagedResource("not in the package's digest list", name);
      hash = std::make_unique<BackgroundSha256>();
    }
    sink.Begin(record);
    const TResourceDetails& payload = Payload(e);
    const bool plain = record.StoredPlain != 0;
    sink.Doing(name + (plain ? "_SaveToFile" : "_DecompressFiles"));
    sink.Open(record);
    ReadStaged(payload, plain, [&](const void* data, size_t n) {
      if (hash) hash->Add(data, n);
      sink.Write(data, n);
    });
    sink.Close();
    if (hash && hash->HexDigest() != *expected) {
      sink.Doing(name + "_CheckDigest");
      sink.Discard(record);
      throw DamagedResource("content differs from its SHA-256 digest", name);
    }
    staged.push_back(name);
    sink.Staged(e);
  }
  if (digests) {
    sink.Doing("");
    for (const FileDigest& d : *digests)
      if (std::none_of(staged.begin(), staged.end(), [&](const std::string& n) { return EqualsIgnoreCase(n, d.fileName); }))
        throw DamagedResource("in the digest list but not in the package", d.fileName);
  }
  return staged.size();
}

}  // namespace updater
