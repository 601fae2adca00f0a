// The certificate table of an image and the stretch of the file its signature hashes.
#include "Signature.h"

namespace updater::toolpack {

std::optional<SignatureFacts> SignatureOf(const TPEModule& image) {
  if (image.DataDirectoryCount() < 5) return std::nullopt;
  const auto [offset, size] = image.DataDirectory(4);  // a file offset, not an address
  if (offset == 0 || size == 0) return std::nullopt;
  const ByteSource& file = image.Source();
  SignatureFacts f;
  f.offset = offset;
  f.size = size;
  if (file.Contains(offset, 8)) {
    unsigned char head[8];
    file.Read(offset, head, sizeof head);
    const uint32_t revision = head[4] | head[5] << 8, type = head[6] | head[7] << 8;
    f.authenticode = revision == 0x0200 && type == 0x0002;
  }
  f.trailing = file.Contains(offset, size) ? file.Size() - offset - size : 0;
  f.missing = file.Contains(offset, size) ? 0 : uint64_t{offset} + size - std::min<uint64_t>(file.Size(), uint64_t{offset} + size);
  // The package is whatever section holds the resource directory.
  const uint32_t resources = image.DataDirectoryCount() > 2 ? image.DataDirectory(2).first : 0;
  for (const TImageSection& s : image.Sections()) {
    const SectionHeader& h = s.Header();
    if (resources < h.virtualAddress || resources >= uint64_t{h.virtualAddress} + std::max(h.virtualSize, h.sizeOfRawData)) continue;
    f.coversPackage = s.DataOffset() + s.DataSize() <= offset;
  }
  return f;
}

std::optional<SignatureFacts> SignatureOf(const std::vector<unsigned char>& image) {
  TPEModule m;
  m.LoadFromSource(std::make_unique<MemorySource>(image.data(), image.size()));
  return SignatureOf(m);
}

}  // namespace updater::toolpack
