// Any code page 949 bytes cut to any length, as the run report's body is: the cut is a prefix of at
// most n bytes, one byte short at the most, and it ends on a character boundary (its last double-byte
// character is whole).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/PathText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t n = (data[0] << 8 | data[1]) % 4096;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string cut = updater::CutToBytes(text, n);
  if (cut.size() > n && cut.size() != text.size()) std::abort();
  if (text.compare(0, cut.size(), cut) != 0) std::abort();
  if (cut.size() < text.size() && cut.size() + 1 < n) std::abort();
  // Walked from its start, the cut ends exactly at a character's end.
  size_t i = 0;
  while (i < cut.size()) i += updater::IsCp949LeadByte(static_cast<unsigned char>(cut[i])) ? 2 : 1;
  if (i != cut.size() && cut.size() != text.size()) std::abort();
  return 0;
}
