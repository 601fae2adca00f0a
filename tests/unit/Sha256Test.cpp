#include <gtest/gtest.h>

#include <string>

#include "platform/Sha256.h"

using namespace updater;

// The hash on its own thread answers what the plain one does, whatever the blocks it is fed and
// wherever they fall against its 1 MB chunks.
TEST(Sha256, BackgroundHashAgreesWithThePlainOne) {
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  struct Row {
    size_t size, block;
  };
  const size_t mb = 1 << 20;
  const Row rows[] = {{0, 1}, {3, 1}, {mb - 1, 4096}, {mb, mb}, {mb + 1, 4096}, {3 * mb + 12345, 65537}, {5 * mb, 7 * mb}};
  for (const Row& r : rows) {
    std::string data(r.size, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 2654435761u >> 13);
    BackgroundSha256 hash;
    for (size_t at = 0; at < data.size(); at += r.block) hash.Add(data.data() + at, std::min(r.block, data.size() - at));
    EXPECT_EQ(hash.HexDigest(), Sha256Hex(data)) << r.size << " bytes in blocks of " << r.block;
  }
  BackgroundSha256 dropped;  // never asked: its thread ends with it
  dropped.Add("x", 1);
}
