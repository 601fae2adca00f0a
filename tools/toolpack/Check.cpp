// toolpack check: what the program would refuse, and a little more.
#include <ostream>
#include <set>

#include "core/PathText.h"
#include "PackageEntry.h"
#include "Toolpack.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

bool Check(const std::string& toolPath, std::ostream& out) {
  TPEResourceModule m(toolPath);
  bool ok = true;
  size_t modules = 0;
  std::set<std::string> seen;
  for (const PackageEntry& e : Entries(m)) {
    const TResourceDetails& r = *e.resource;
    if (!IsPackageType(r.Type())) continue;
    const std::string name = Printable(r.Name());
    if (!e.fields) {
      out << "problem: " << r.Type() << " " << name << ": " << (e.error.empty() ? "fewer than 7 fields" : e.error) << "\n";
      ok = false;
      continue;
    }
    std::optional<std::string> damage = FileNameDamage(e.fields->FileName);
    if (!damage && r.Type() == kModuleType) damage = PlaceDamage(*e.fields);
    if (!damage && r.Type() == kModuleType) damage = UnknownFieldDamage(*e.fields);
    if (damage) {
      out << "problem: " << name << ": " << *damage << "\n";
      ok = false;
    }
    // The tool would deploy the second one's content at the first one's target.
    if (r.Type() == kModuleType && !seen.insert(ToLowerAscii(e.fields->FileName)).second) {
      out << "problem: " << name << ": a second file of the same name\n";
      ok = false;
    }
    if (r.Language() != kPackageLanguage) {
      out << "problem: " << name << ": language " << r.Language() << ", not " << kPackageLanguage << "\n";
      ok = false;
    }
    if (!e.fields->StoredPlain) {
      try {
        InflatedSize(r);
      } catch (const std::exception& ex) {
        out << "problem: " << name << ": " << ex.what() << "\n";
        ok = false;
      }
    }
    modules += r.Type() == kModuleType;
  }
  out << (ok ? "ok: " : "damaged: ") << modules << " files in the package\n";
  return ok;
}

// Exactly what the tool stages: MODULE resources in list order, each read in the package language

}  // namespace updater::toolpack
