#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "package/Inflate.h"

using namespace updater;

namespace {

struct Collected {
  std::string data;
  size_t largestBlock = 0, blocks = 0;
};

Collected Inflate(const std::string& z, size_t chunk = 1 << 20) {
  Collected c;
  size_t at = 0;
  InflateStream(
      [&](void* buf, size_t max) {
        const size_t n = std::min({max, chunk, z.size() - at});
        std::memcpy(buf, z.data() + at, n);
        at += n;
        return n;
      },
      [&](const void* d, size_t n) {
        c.data.append(static_cast<const char*>(d), n);
        c.largestBlock = std::max(c.largestBlock, n);
        ++c.blocks;
      });
  return c;
}

std::string Sample(size_t n) {
  std::mt19937 rng(7);
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 3 ? 'a' + (i % 17) : static_cast<char>(rng()));
  return s;
}

}  // namespace

TEST(Inflate, RoundTripInBlocksOfAtMost4096) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{300000}}) {
    const std::string plain = Sample(n);
    const std::string z = DeflateBest(plain.data(), plain.size());
    ASSERT_GE(z.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(z[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(z[1]), 0xDA);
    const Collected c = Inflate(z, 1000);  // input arrives in small pieces
    EXPECT_EQ(c.data, plain);
    EXPECT_LE(c.largestBlock, kInflateBlock);
  }
}

TEST(Inflate, DamagedAndTruncatedStreamsFail) {
  const std::string plain = Sample(50000);
  std::string z = DeflateBest(plain.data(), plain.size());
  EXPECT_THROW(Inflate(z.substr(0, z.size() - 4)), InflateError);  // no trailer
  EXPECT_THROW(Inflate(z.substr(0, z.size() / 2)), InflateError);
  EXPECT_THROW(Inflate(""), InflateError);
  std::string bad = z;
  bad[z.size() - 1] ^= 0x55;  // Adler-32 mismatch
  EXPECT_THROW(Inflate(bad), InflateError);
  EXPECT_THROW(Inflate("not zlib at all"), InflateError);
  // Bytes after the stream's end are not read as part of it.
  EXPECT_EQ(Inflate(z + "trailing").data, plain);
}
