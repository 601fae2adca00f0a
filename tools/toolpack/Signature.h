#pragma once
// What toolpack can tell of an Authenticode signature without trusting it: where the certificate
// table lies and what the signature's hashed range (the file before the table) leaves out.
// Whether the signature itself is valid is osslsigncode's or Windows' to say.
#include <cstdint>
#include <optional>
#include <vector>

#include "package/pe/PEFile.h"

namespace updater::toolpack {

struct SignatureFacts {
  uint64_t offset = 0, size = 0;  // the certificate table in the file
  bool authenticode = false;      // a revision 2.0 certificate of PKCS#7 signed data
  bool coversPackage = false;     // the section of the resources lies wholly before the table
  uint64_t trailing = 0;          // bytes after the table, which no signature covers
  uint64_t missing = 0;           // bytes of the table past the end of the file (a tool cut short)
};

// Nothing when the image has no certificate table.
std::optional<SignatureFacts> SignatureOf(const TPEModule& image);
std::optional<SignatureFacts> SignatureOf(const std::vector<unsigned char>& image);

}  // namespace updater::toolpack
