// toolpack check: what the program would refuse, and a little more.
#include <algorithm>
#include <ostream>

#include "core/PathText.h"
#include "ProgramReading.h"
#include "ToolpackIo.h"
#include "Signature.h"
#include "Toolpack.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

namespace {

std::string Files(size_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); }

struct Findings {
  std::vector<std::string> problems;
  std::string digests, signature;  // what is said of them when they are no problem
  void Problem(const std::string& text) { problems.push_back(text); }
};

// The signature: absent is no problem (a tool is signed as the last step, if at all); one that
// leaves the package or anything after it unhashed is.
void CheckSignature(const TPEResourceModule& m, Findings& f) {
  const std::optional<SignatureFacts> sig = SignatureOf(m);
  if (!sig) {
    f.signature = "unsigned";
    return;
  }
  const size_t before = f.problems.size();
  if (!sig->authenticode) f.Problem("the certificate table holds no Authenticode signature");
  if (!sig->coversPackage) f.Problem("signed before the package was added: the signature does not cover the package section");
  if (sig->missing)
    f.Problem("the certificate table runs " + std::to_string(sig->missing) + " bytes past the end of the file: the tool was cut short");
  if (sig->trailing) f.Problem(std::to_string(sig->trailing) + " bytes after the signature, which it does not cover");
  if (f.problems.size() == before) f.signature = "signed (Authenticode, " + std::to_string(sig->size) + " bytes), covering the package";
}

}  // namespace

bool Check(const std::string& toolPath, std::ostream& out, bool json) {
  const TPEResourceModule m(toolPath);
  const PackageReader reader(m);
  Findings f;
  // First what the program itself would refuse, then what it would deploy otherwise than meant.
  const ProgramReading reading = ReadAsProgram(reader);
  if (!reading.refused.empty())
    f.Problem((reading.refusedFile.empty() || reading.refused.starts_with("Damaged resource:") ? "" : reading.refusedFile + ": ") +
              reading.refused);
  size_t modules = 0;
  for (const PackageEntry& e : reader.Entries()) {
    const TResourceDetails& r = *e.resource;
    if (!IsPackageType(r.Type())) continue;
    const std::string name = PrintableName(r.Name());
    if (!e.fields) {
      if (e.error.empty()) f.Problem(r.Type() + " " + name + ": fewer than 7 fields");
      continue;
    }
    if (r.Type() != kModuleType) continue;
    ++modules;
    if (const std::optional<std::string> unknown = UnknownFieldDamage(*e.fields)) f.Problem(name + ": " + *unknown);
    if (const std::optional<std::string> folder = MeaninglessFolder(*e.fields)) f.Problem(name + ": " + *folder);
  }
  const bool anyPackage = std::any_of(reader.Entries().begin(), reader.Entries().end(),
                                     [](const PackageEntry& e) { return IsPackageType(e.resource->Type()); });
  if (!anyPackage && !reading.digestsChecked) f.Problem("no package: not an update tool");
  if (!reading.digestsChecked) f.digests = "no digest list: the tool cannot prove itself whole";
  else if (reading.refused.empty()) f.digests = "digests: every resource matches its SHA-256 (" + Files(reading.files.size()) + ")";
  CheckSignature(m, f);
  const bool ok = f.problems.empty();
  if (json) {
    out << "{\"ok\": " << (ok ? "true" : "false") << ", \"files\": " << modules << ", \"problems\": [";
    for (size_t i = 0; i < f.problems.size(); ++i) out << (i ? ", " : "") << Json(f.problems[i]);
    out << "], \"digests\": " << JsonOrNull(f.digests) << ", \"signature\": " << JsonOrNull(f.signature) << "}\n";
    return ok;
  }
  for (const std::string& p : f.problems) out << "problem: " << p << "\n";
  if (!f.digests.empty()) out << f.digests << "\n";
  if (!f.signature.empty()) out << f.signature << "\n";
  if (ok) out << "ok: " << Files(modules) << " in the package\n";
  else out << "damaged: " << f.problems.size() << (f.problems.size() == 1 ? " problem; " : " problems; ") << Files(modules) << " in the package\n";
  return ok;
}

}  // namespace updater::toolpack
