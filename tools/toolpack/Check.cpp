// toolpack check: what the program would refuse, and a little more.
#include <ostream>
#include <set>

#include "core/PathText.h"
#include "PackageEntry.h"
#include "Signature.h"
#include "Toolpack.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

namespace {

// The signature: absent is no problem (a tool is signed as the last step, if at all); one that
// leaves the package or anything after it unhashed is.
bool CheckSignature(const TPEResourceModule& m, std::ostream& out) {
  const std::optional<SignatureFacts> sig = SignatureOf(m);
  if (!sig) {
    out << "unsigned\n";
    return true;
  }
  bool ok = true;
  if (!sig->authenticode) {
    out << "problem: the certificate table holds no Authenticode signature\n";
    ok = false;
  }
  if (!sig->coversPackage) {
    out << "problem: signed before the package was added: the signature does not cover the package section\n";
    ok = false;
  }
  if (sig->trailing) {
    out << "problem: " << sig->trailing << " bytes after the signature, which it does not cover\n";
    ok = false;
  }
  if (ok) out << "signed (Authenticode, " << sig->size << " bytes), covering the package\n";
  return ok;
}

}  // namespace

bool Check(const std::string& toolPath, std::ostream& out) {
  TPEResourceModule m(toolPath);
  bool ok = true;
  size_t modules = 0;
  std::set<std::string> seen;
  std::optional<std::vector<FileDigest>> digests;
  try {
    digests = DigestListOf(m, toolPath);
  } catch (const Error& e) {
    out << "problem: " << e.what() << "\n";
    ok = false;
  }
  for (const PackageEntry& e : Entries(m)) {
    const TResourceDetails& r = *e.resource;
    if (!IsPackageType(r.Type())) continue;
    const std::string name = Printable(r.Name());
    if (!e.fields) {
      out << "problem: " << r.Type() << " " << name << ": " << (e.error.empty() ? "fewer than 7 fields" : e.error) << "\n";
      ok = false;
      continue;
    }
    const bool module = r.Type() == kModuleType;
    std::optional<std::string> damage = EntryDamage(*e.fields, module);
    if (!damage && module) damage = UnknownFieldDamage(*e.fields);
    if (damage) {
      out << "problem: " << name << ": " << *damage << "\n";
      ok = false;
    }
    // The tool would deploy the second one's content at the first one's target.
    if (module && !seen.insert(ToLowerAscii(e.fields->FileName)).second) {
      out << "problem: " << name << ": a second file of the same name\n";
      ok = false;
    }
    if (r.Language() != kPackageLanguage) {
      out << "problem: " << name << ": language " << r.Language() << ", not " << kPackageLanguage << "\n";
      ok = false;
    }
    const std::optional<std::string> expected = module && digests ? DigestOf(*digests, e.fields->FileName) : std::nullopt;
    if (module && digests && !expected) {
      out << "problem: " << e.fields->FileName << ": not in the package's digest list\n";
      ok = false;
    }
    modules += module;
    if (e.fields->StoredPlain && !expected) continue;  // nothing to read it against
    try {
      if (!expected) {
        InflatedSize(r);
      } else if (DigestOfStaged(r, e.fields->StoredPlain != 0).sha256 != *expected) {
        out << "problem: " << e.fields->FileName << ": content differs from its SHA-256 digest\n";
        ok = false;
      }
    } catch (const std::exception& ex) {
      out << "problem: " << name << ": " << ex.what() << "\n";
      ok = false;
    }
  }
  if (digests) {
    for (const FileDigest& d : *digests)
      if (!seen.count(ToLowerAscii(d.fileName))) {
        out << "problem: " << d.fileName << ": in the digest list but not in the package\n";
        ok = false;
      }
    if (ok) out << "digests: " << digests->size() << " files match their SHA-256\n";
  } else {
    out << "no digest list: files stored plain are not checked\n";
  }
  ok = CheckSignature(m, out) && ok;
  out << (ok ? "ok: " : "damaged: ") << modules << " files in the package\n";
  return ok;
}

}  // namespace updater::toolpack
