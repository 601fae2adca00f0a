// Any text as a package's digest list: it parses or is refused cleanly, and a list that parses
// writes back to a text that parses to the same list (every byte of a type or name survives).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "package/PackageFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<updater::ResourceDigest> list;
  try {
    list = updater::ParseDigestList(text);
  } catch (const std::runtime_error&) {
    return 0;
  }
  const std::vector<updater::ResourceDigest> again = updater::ParseDigestList(updater::MakeDigestList(list));
  if (again.size() != list.size()) std::abort();
  for (size_t i = 0; i < list.size(); ++i)
    if (again[i].sha256 != list[i].sha256 || again[i].language != list[i].language || again[i].type != list[i].type ||
        again[i].name != list[i].name)
      std::abort();
  for (const updater::ResourceDigest& d : list) updater::FoldedFileName(d.name);
  return 0;
}
