#include "package/Inflate.h"

#include <zlib.h>

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

std::string DeflateBest(const void* data, size_t n) {
  uLongf bound = compressBound(static_cast<uLong>(n));
  std::string out(bound, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &bound, static_cast<const Bytef*>(data), static_cast<uLong>(n),
                Z_BEST_COMPRESSION) != Z_OK)
    throw InflateError("zlib: compression failed");
  out.resize(bound);
  return out;
}

}  // namespace updater
