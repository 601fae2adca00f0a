// Any bytes as a PE image: the reader must give a clean error or a list, never crash or hang.
#include <cstddef>
#include <cstdint>

#include "package/pe/PEFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    updater::TPEResourceModule m;
    m.LoadFromSource(std::make_unique<updater::MemorySource>(data, size));
    unsigned char buf[64];
    for (size_t i = 0; i < m.ResourceCount(); ++i) {
      const updater::TResourceDetails& r = m.ResourceDetails(i);
      const size_t n = r.DataSize() < sizeof buf ? r.DataSize() : sizeof buf;
      r.ReadData(r.DataSize() - n, buf, n);
      m.FindResourceDetails(r.Type(), r.Name(), 1042);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
