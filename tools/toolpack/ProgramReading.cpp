#include "ProgramReading.h"

#include <memory>

#include "platform/Sha256.h"
#include "ToolpackIo.h"

namespace updater::toolpack {
namespace {

// The program reads a control file of at most 1 MB back as text; toolpack reads the payload itself.
constexpr uint64_t kLargestControlText = 1u << 20;

class PayloadText final : public ScanEvents {
 public:
  std::string ControlText(const TUpdateFileResource& record, const TResourceDetails& payload) override {
    std::string text;
    ReadStaged(payload, record.StoredPlain != 0, [&](const void* d, size_t n) {
      if (text.size() < kLargestControlText) text.append(static_cast<const char*>(d), n);
    });
    return text;
  }
};

class Staging final : public StagingSink {
 public:
  Staging(ContentSink& content, bool withSha256, std::vector<StagedFile>& files, Progress& progress)
      : content_(content), withSha256_(withSha256), files_(files), progress_(progress) {}
  void Doing(const std::string& currentFile) override {
    if (!currentFile.empty()) at_ = currentFile.substr(0, currentFile.rfind('_'));
  }
  void Open(const TUpdateFileResource& record) override {
    size_ = 0;
    if (withSha256_) hash_ = std::make_unique<Sha256>();
    content_.Open(record);
  }
  void Write(const void* data, size_t n) override {
    size_ += n;
    progress_.Add(n);
    if (hash_) hash_->Add(data, n);
    content_.Write(data, n);
  }
  void Close() override { content_.Close(); }
  void Discard(const TUpdateFileResource& record) override { content_.Discard(record); }
  void Staged(const PackageEntry& entry) override {
    files_.push_back({*entry.fields, size_, hash_ ? hash_->HexDigest() : std::string()});
    content_.Staged(*entry.fields);
    hash_.reset();
  }
  std::string at_;

 private:
  ContentSink& content_;
  bool withSha256_;
  std::vector<StagedFile>& files_;
  Progress& progress_;
  uint64_t size_ = 0;
  std::unique_ptr<Sha256> hash_;
};

}  // namespace

ProgramReading ReadAsProgram(const PackageReader& reader, ContentSink& content, bool withSha256) {
  ProgramReading reading;
  uint64_t stored = 0;
  for (const PackageEntry& e : reader.Entries()) stored += e.resource->DataSize();
  Progress progress("reading the package", stored);
  Staging staging(content, withSha256, reading.files, progress);
  try {
    PayloadText scan;
    reading.options = reader.Scan(scan);
    reader.Stage(staging, &reading.digestsChecked);
  } catch (const std::exception& e) {
    reading.refused = e.what();
    reading.refusedFile = staging.at_;
  }
  return reading;
}

ProgramReading ReadAsProgram(const PackageReader& reader, bool withSha256) {
  ContentSink none;
  return ReadAsProgram(reader, none, withSha256);
}

}  // namespace updater::toolpack
