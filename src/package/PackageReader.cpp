#include "package/PackageReader.h"

#include <algorithm>
#include <memory>
#include <set>

#include "core/PathText.h"
#include "platform/Sha256.h"

namespace updater {
namespace {

// Plain payloads are read in larger blocks than the 4096-byte inflate blocks.
constexpr size_t kPlainBlock = 256 * 1024;
// A digest list is one line a file; far above any real package, far below what a run could hold.
constexpr size_t kLargestDigestList = 16u << 20;

// The names the pre-scan takes from every entry, whatever its type; seen keeps each list's names
// once in the order met, in linear time.
void NoteName(ToolOptions& found, std::set<std::string>& seen, const TUpdateFileResource& record) {
  const std::string& name = record.FileName;
  if (!Trim(name).empty()) {
    const std::string lower = ToLowerAscii(name);
    switch (ClassifyPackageName(name)) {
      case NameClass::Dll:
        if (seen.insert("d" + lower).second) found.dlls.push_back(lower);
        break;
      case NameClass::Exe:
        if (seen.insert("e" + lower).second) found.exes.push_back(lower);
        break;
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

namespace {

// The content staged from data as stored, read through read: inflated, or passed on as it is.
uint64_t StageStream(const InputReader& read, bool plain, const OutputSink& sink) {
  if (!plain) return InflateStream(read, sink);
  std::vector<char> block(kPlainBlock);
  uint64_t size = 0;
  while (const size_t n = read(block.data(), block.size())) {
    sink(block.data(), n);
    size += n;
  }
  return size;
}

}  // namespace

uint64_t ReadStaged(const TResourceDetails& payload, bool plain, const OutputSink& sink) {
  return StageStream(payload.Reader(), plain, sink);
}

PackageReader::PackageReader(const TPEResourceModule& module) : module_(module) {
  entries_.reserve(module.ResourceCount());
  for (size_t i = 0; i < module.ResourceCount(); ++i) {
    PackageEntry e;
    e.resource = &module.ResourceDetails(i);
    e.index = i;
    byKey_.emplace(KeyOf(*e.resource), e.resource);
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

// The package's language, else language 0, as the PE reader's find does; by index, so that a
// directory of many entries is read in linear time.
const TResourceDetails& PackageReader::Payload(const PackageEntry& entry) const {
  const TResourceDetails& listed = *entry.resource;
  for (const uint32_t language : {kPackageLanguage, 0u})
    if (const auto at = byKey_.find({listed.Type(), listed.Name(), language}); at != byKey_.end()) return *at->second;
  throw std::runtime_error("Resource " + listed.Type() + " not found for language " + std::to_string(kPackageLanguage));
}

std::optional<std::vector<ResourceDigest>> PackageReader::Digests() const {
  const auto found = byKey_.find({std::string(kDigestType), std::string(kDigestName), kPackageLanguage});
  if (found == byKey_.end()) return std::nullopt;
  const TResourceDetails* r = found->second;
  if (r->DataSize() > kLargestDigestList) throw DamagedResource("digest list too large", std::string(kDigestName));
  const std::vector<unsigned char> text = r->Data();
  try {
    return ParseDigestList(std::string(text.begin(), text.end()));
  } catch (const std::exception& e) {
    throw DamagedResource(e.what(), std::string(kDigestName));
  }
}

std::optional<PackageReader::DigestMap> PackageReader::VerifiedDigests() const {
  const std::optional<std::vector<ResourceDigest>> list = Digests();
  if (!list) return std::nullopt;
  DigestMap digests;
  for (const ResourceDigest& d : *list) digests.emplace(Key{d.type, d.name, d.language}, d.sha256);
  const Key self{std::string(kDigestType), std::string(kDigestName), kPackageLanguage};
  std::map<Key, bool> met;
  for (const PackageEntry& e : entries_) {
    const Key key = KeyOf(*e.resource);
    if (key == self) continue;
    const std::string what = e.fields ? e.fields->FileName : ResourcePlace(e.resource->Type(), e.resource->Name(), e.resource->Language());
    const auto listed = digests.find(key);
    if (listed == digests.end()) throw DamagedResource("not in the package's digest list", what);
    if (!met.emplace(key, true).second) throw DamagedResource("listed twice in the resource directory", what);
    // A file's data is checked as it is staged; everything else, now.
    if (e.resource->Type() != kModuleType) {
      Sha256 hash;
      ReadStaged(*e.resource, true, [&](const void* data, size_t n) { hash.Add(data, n); });
      if (hash.HexDigest() != listed->second) throw DamagedResource("data differs from its SHA-256 digest", what);
    }
  }
  for (const auto& [key, sha] : digests)
    if (!met.count(key) && key != self)
      throw DamagedResource("in the digest list but not in the package",
                            ResourcePlace(std::get<0>(key), std::get<1>(key), std::get<2>(key)));
  return digests;
}

ToolOptions PackageReader::Scan(ScanEvents& events) const {
  VerifiedDigests();
  ToolOptions found;
  std::set<std::string> seen;
  for (const PackageEntry& e : entries_) {
    if (!e.error.empty()) throw std::invalid_argument(e.error);
    if (!e.fields) continue;
    const TUpdateFileResource& record = *e.fields;
    const TResourceDetails& payload = Payload(e);
    NoteName(found, seen, record);
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
  if (digestsChecked) *digestsChecked = byKey_.count({std::string(kDigestType), std::string(kDigestName), kPackageLanguage}) > 0;
  const std::optional<DigestMap> digests = VerifiedDigests();
  std::map<std::string, std::string> staged;  // folded name -> the name staged under it
  for (const PackageEntry& e : entries_) {
    sink.Doing("");
    if (e.resource->Type() != kModuleType) continue;
    if (!e.error.empty()) throw std::invalid_argument(e.error);
    if (!e.fields) continue;
    const TUpdateFileResource& record = *e.fields;
    const std::string& name = record.FileName;
    sink.Doing(name + "_LoadFromStream");
    if (const std::optional<std::string> damage = EntryDamage(record, true)) throw DamagedResource(*damage, name);
    // The second would be written over the first in the staging folder and deployed in its place.
    if (const auto [at, added] = staged.emplace(FoldedFileName(name), name); !added)
      throw DamagedResource("the same file name as \"" + at->second + "\" to Windows", name);
    sink.Begin(record);
    const TResourceDetails& payload = Payload(e);
    const bool plain = record.StoredPlain != 0;
    sink.Doing(name + (plain ? "_SaveToFile" : "_DecompressFiles"));
    // The data as stored is hashed as it is read, on a thread of its own beside the inflating and
    // writing.
    std::unique_ptr<BackgroundSha256> hash;
    if (digests) hash = std::make_unique<BackgroundSha256>();
    const InputReader raw = payload.Reader();
    const InputReader read = [&](void* buf, size_t max) {
      const size_t n = raw(buf, max);
      if (hash) hash->Add(buf, n);
      return n;
    };
    sink.Open(record);
    StageStream(read, plain, [&](const void* data, size_t n) { sink.Write(data, n); });
    sink.Close();
    if (hash && hash->HexDigest() != digests->at(KeyOf(payload))) {
      sink.Doing(name + "_CheckDigest");
      sink.Discard(record);
      throw DamagedResource("content differs from its SHA-256 digest", name);
    }
    sink.Staged(e);
  }
  return staged.size();
}

}  // namespace updater
