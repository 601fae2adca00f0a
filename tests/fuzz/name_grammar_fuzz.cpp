// Any text as a package resource name: split, parse and rebuild without crashing; a parsed name
// rebuilds to one that parses to the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "package/PackageFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> fields = updater::SplitResourceName(name);
  if (fields.size() < 7) return 0;
  try {
    const updater::TUpdateFileResource r = updater::ParseResourceName("MODULE", fields);
    const auto again = updater::SplitResourceName(updater::MakeResourceName(r));
    // Fields holding quotes, leading blanks or the separator do not survive a rebuild; others must.
    bool plain = true;
    for (const std::string& f : fields) plain &= f.find_first_of("\"'\b") == std::string::npos && (f.empty() || f[0] != ' ');
    if (plain && updater::ParseResourceName("MODULE", again).FileName != r.FileName) std::abort();
    updater::IsDataToolName(r.FileName);
    updater::ClassifyPackageName(r.FileName);
    updater::FileNameDamage(r.FileName);
    updater::PlaceDamage(r);
  } catch (const std::invalid_argument&) {
  }
  updater::ParseUpdateConfig(name);
  try {
    updater::PrevToolNumber(name);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
