// Any bytes as a zlib payload: inflate in blocks or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "package/Inflate.h"

namespace {
struct Enough {};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  uint64_t out = 0;
  try {
    updater::InflateStream(
        [&](void* buf, size_t max) {
          const size_t n = (size - at) < max ? (size - at) : (max > 97 ? 97 : max);  // small, odd chunks
          std::memcpy(buf, data + at, n);
          at += n;
          return n;
        },
        [&](const void*, size_t n) {
          if (n > updater::kInflateBlock) __builtin_trap();
          if ((out += n) > (64u << 20)) throw Enough{};
        });
  } catch (const updater::InflateError&) {
  } catch (const Enough&) {
  }
  return 0;
}
