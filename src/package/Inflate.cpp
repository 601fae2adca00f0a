#include "package/Inflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace updater {
namespace {

struct InflateStreamGuard {
  z_stream z{};
  bool open = false;
  ~InflateStreamGuard() {
    if (open) inflateEnd(&z);
  }
};

struct DeflateStreamGuard {
  z_stream z{};
  bool open = false;
  ~DeflateStreamGuard() {
    if (open) deflateEnd(&z);
  }
};

}  // namespace

uint64_t InflateStream(const InputReader& input, const OutputSink& sink) {
  constexpr size_t kInputChunk = 64 * 1024;
  std::unique_ptr<unsigned char[]> in(new unsigned char[kInputChunk]);
  unsigned char out[kInflateBlock];
  InflateStreamGuard g;
  if (inflateInit(&g.z) != Z_OK) throw InflateError("zlib: cannot initialise");
  g.open = true;
  uint64_t total = 0;
  bool inputDone = false;
  for (;;) {
    if (g.z.avail_in == 0 && !inputDone) {
      const size_t got = input(in.get(), kInputChunk);
      if (got == 0) inputDone = true;
      g.z.next_in = in.get();
      g.z.avail_in = static_cast<uInt>(got);
    }
    g.z.next_out = out;
    g.z.avail_out = sizeof out;
    const int rc = inflate(&g.z, Z_NO_FLUSH);
    const size_t produced = sizeof out - g.z.avail_out;
    if (produced) {
      sink(out, produced);
      total += produced;
    }
    if (rc == Z_STREAM_END) return total;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR || rc == Z_MEM_ERROR)
      throw InflateError(std::string("Damaged zlib stream (") + (g.z.msg ? g.z.msg : "data error") + ")");
    // No progress possible: the input has ended before the stream did.
    if (rc == Z_BUF_ERROR && inputDone && g.z.avail_in == 0 && produced == 0)
      throw InflateError("Damaged zlib stream (truncated)");
  }
}

uint64_t DeflateStream(const InputReader& input, const OutputSink& sink) {
  constexpr size_t kChunk = 256 * 1024;
  std::unique_ptr<unsigned char[]> in(new unsigned char[kChunk]), out(new unsigned char[kChunk]);
  DeflateStreamGuard g;
  if (deflateInit(&g.z, Z_BEST_COMPRESSION) != Z_OK) throw InflateError("zlib: cannot initialise");
  g.open = true;
  uint64_t total = 0;
  int flush = Z_NO_FLUSH;
  for (;;) {
    if (g.z.avail_in == 0 && flush == Z_NO_FLUSH) {
      const size_t got = input(in.get(), kChunk);
      if (got == 0) flush = Z_FINISH;
      g.z.next_in = in.get();
      g.z.avail_in = static_cast<uInt>(got);
    }
    g.z.next_out = out.get();
    g.z.avail_out = static_cast<uInt>(kChunk);
    const int rc = deflate(&g.z, flush);
    if (rc == Z_STREAM_ERROR) throw InflateError("zlib: compression failed");
    const size_t produced = kChunk - g.z.avail_out;
    if (produced) {
      sink(out.get(), produced);
      total += produced;
    }
    if (rc == Z_STREAM_END) return total;
  }
}

std::string DeflateBest(const void* data, size_t n) {
  std::string out;
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t at = 0;
  DeflateStream(
      [&](void* buf, size_t max) {
        const size_t take = std::min(max, n - at);
        std::copy(bytes + at, bytes + at + take, static_cast<unsigned char*>(buf));
        at += take;
        return take;
      },
      [&](const void* d, size_t k) { out.append(static_cast<const char*>(d), k); });
  return out;
}

}  // namespace updater
