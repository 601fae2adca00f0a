#pragma once
// Streams a zlib payload in fixed blocks, so a large file never sits in memory whole. Pure.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <stdexcept>

namespace updater {

inline constexpr size_t kInflateBlock = 4096;

class InflateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fills buf with up to max bytes of input; returns 0 at the end of the input.
using InputReader = std::function<size_t(void* buf, size_t max)>;
// Takes one block of output.
using OutputSink = std::function<void(const void* data, size_t n)>;

// Inflates one zlib stream (RFC 1950) from input to sink in blocks of at most kInflateBlock bytes.
// A damaged stream, or one that ends before its trailer, throws InflateError. Returns the output size.
uint64_t InflateStream(const InputReader& input, const OutputSink& sink);

// Compresses a stream at best compression (header 78 DA), block by block; returns the compressed size.
uint64_t DeflateStream(const InputReader& input, const OutputSink& sink);
// The same for a buffer.
std::string DeflateBest(const void* data, size_t n);

}  // namespace updater
