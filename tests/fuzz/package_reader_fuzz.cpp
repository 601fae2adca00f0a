// Any bytes as an update tool, read as the program and every toolpack command read it: the reader
// refuses or stages cleanly, and judges the same bytes the same way twice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "package/PackageReader.h"

namespace {

class Text final : public updater::ScanEvents {
 public:
  std::string ControlText(const updater::TUpdateFileResource& record, const updater::TResourceDetails& payload) override {
    std::string t;
    updater::ReadStaged(payload, record.StoredPlain != 0, [&](const void* d, size_t n) {
      if (t.size() < 65536) t.append(static_cast<const char*>(d), n);
    });
    return t;
  }
};

class Count final : public updater::StagingSink {
 public:
  void Open(const updater::TUpdateFileResource&) override {}
  void Write(const void*, size_t n) override { bytes += n; }
  void Close() override {}
  uint64_t bytes = 0;
};

// What the reading comes to: the files and bytes staged, or the refusal.
std::string Judge(const uint8_t* data, size_t size) {
  try {
    updater::TPEResourceModule m;
    m.LoadFromSource(std::make_unique<updater::MemorySource>(data, size));
    const updater::PackageReader reader(m);
    Text text;
    reader.Scan(text);
    Count count;
    const size_t files = reader.Stage(count);
    return std::to_string(files) + " " + std::to_string(count.bytes);
  } catch (const std::exception& e) {
    return std::string("refused: ") + e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (Judge(data, size) != Judge(data, size)) std::abort();
  return 0;
}
