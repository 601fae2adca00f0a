// toolpack list: every resource of a tool with its fields and sizes.
#include <ostream>

#include "Signature.h"
#include "Toolpack.h"
#include "ToolpackIo.h"
#include "package/PackageReader.h"

namespace updater::toolpack {
namespace fs = std::filesystem;

void List(const std::string& toolPath, std::ostream& out) {
  const TPEResourceModule m(toolPath);
  const PackageReader reader(m);
  for (const PackageEntry& e : reader.Entries()) {
    const TResourceDetails& r = *e.resource;
    out << r.Type() << "\tlang " << r.Language() << "\t" << r.DataSize() << " bytes";
    if (e.fields) {
      const TUpdateFileResource& f = *e.fields;
      out << "\t" << f.FileName << " | " << f.Version << " | copy " << int(f.CopyType) << " | base " << int(f.BaseKind)
          << " | index " << f.SubFolderIndex << " | " << f.FolderText << " | " << (f.StoredPlain ? "plain" : "zlib");
      if (!f.RequiredFolder.empty()) out << " | required " << f.RequiredFolder;
      if (!f.StoredPlain && IsPackageType(r.Type())) {
        try {
          out << "\tinflated " << ReadStaged(r, false, [](const void*, size_t) {}) << " bytes";
        } catch (const std::exception& ex) {
          out << "\tdamaged: " << ex.what();
        }
      }
    } else {
      out << "\t" << Printable(r.Name());
      if (!e.error.empty()) out << "\tunparsable: " << e.error;
    }
    out << "\n";
  }
  try {
    const std::optional<std::vector<ResourceDigest>> digests = reader.Digests();
    out << (digests ? "digest list: SHA-256 of " + std::to_string(digests->size()) + " resources\n" : std::string("digest list: none\n"));
  } catch (const std::exception& e) {
    out << "digest list: " << e.what() << "\n";  // listed all the same: list shows what is there
  }
  if (const std::optional<SignatureFacts> sig = SignatureOf(m))
    out << "signature: " << (sig->authenticode ? "Authenticode, " : "not Authenticode, ") << sig->size << " bytes, "
        << (sig->coversPackage ? "covers the package" : "does not cover the package (signed before it was added)")
        << (sig->trailing ? ", " + std::to_string(sig->trailing) + " bytes after it not covered" : std::string())
        << (sig->missing ? ", cut short by " + std::to_string(sig->missing) + " bytes" : std::string()) << "\n";
  else
    out << "signature: none\n";
}

}  // namespace updater::toolpack
