// toolpack check: what the program would refuse, and a little more.
#include <ostream>
#include <set>

#include "core/PathText.h"
#include "ProgramReading.h"
#include "ToolpackIo.h"
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
  if (sig->missing) {
    out << "problem: the certificate table runs " << sig->missing << " bytes past the end of the file: the tool was cut short\n";
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
  const TPEResourceModule m(toolPath);
  const PackageReader reader(m);
  bool ok = true;
  auto problem = [&](const std::string& text) {
    out << "problem: " << text << "\n";
    ok = false;
  };
  // First what the program itself would refuse, then what it would deploy otherwise than meant.
  const ProgramReading reading = ReadAsProgram(reader);
  if (!reading.refused.empty())
    problem((reading.refusedFile.empty() || reading.refused.starts_with("Damaged resource:") ? "" : reading.refusedFile + ": ") +
            reading.refused);
  size_t modules = 0;
  for (const PackageEntry& e : reader.Entries()) {
    const TResourceDetails& r = *e.resource;
    if (!IsPackageType(r.Type())) continue;
    const std::string name = Printable(r.Name());
    if (!e.fields) {
      if (e.error.empty()) problem(r.Type() + " " + name + ": fewer than 7 fields");
      continue;
    }
    const bool module = r.Type() == kModuleType;
    modules += module;
    if (module) {
      if (const std::optional<std::string> unknown = UnknownFieldDamage(*e.fields)) problem(name + ": " + *unknown);
      if (const std::optional<std::string> folder = MeaninglessFolder(*e.fields)) problem(name + ": " + *folder);
    }
  }
  if (!reading.digestsChecked) out << "no digest list: the tool cannot prove itself whole\n";
  else if (reading.refused.empty()) out << "digests: every resource matches its SHA-256 (" << reading.files.size() << " files)\n";
  ok = CheckSignature(m, out) && ok;
  out << (ok ? "ok: " : "damaged: ") << modules << " files in the package\n";
  return ok;
}

}  // namespace updater::toolpack
