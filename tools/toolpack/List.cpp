// toolpack list: every resource of a tool with its fields and sizes, as lines or one JSON document.
#include <ostream>

#include "Signature.h"
#include "Toolpack.h"
#include "ToolpackIo.h"
#include "package/PackageReader.h"

namespace updater::toolpack {
namespace {

struct Listed {
  const PackageEntry* entry;
  std::string inflated;  // the inflated size, or why it does not inflate; empty when not a zlib payload
  bool damaged = false;
};

std::string SignatureText(const SignatureFacts& sig) {
  return std::string(sig.authenticode ? "Authenticode, " : "not Authenticode, ") + std::to_string(sig.size) + " bytes, " +
         (sig.coversPackage ? "covers the package" : "does not cover the package (signed before it was added)") +
         (sig.trailing ? ", " + std::to_string(sig.trailing) + " bytes after it not covered" : std::string()) +
         (sig.missing ? ", cut short by " + std::to_string(sig.missing) + " bytes" : std::string());
}

}  // namespace

void List(const std::string& toolPath, std::ostream& out, bool json) {
  const TPEResourceModule m(toolPath);
  const PackageReader reader(m);
  std::vector<Listed> listed;
  for (const PackageEntry& e : reader.Entries()) {
    Listed l{&e, {}};
    if (e.fields && !e.fields->StoredPlain && IsPackageType(e.resource->Type())) {
      try {
        l.inflated = std::to_string(ReadStaged(*e.resource, false, [](const void*, size_t) {}));
      } catch (const std::exception& ex) {
        l.inflated = ex.what();
        l.damaged = true;
      }
    }
    listed.push_back(std::move(l));
  }
  std::string digests;  // "SHA-256 of N resources", "none", or what is damaged: list shows what is there
  bool digestsRead = false;
  try {
    const std::optional<std::vector<ResourceDigest>> list = reader.Digests();
    digestsRead = list.has_value();
    digests = list ? "SHA-256 of " + std::to_string(list->size()) + " resources" : "none";
  } catch (const std::exception& e) {
    digests = e.what();
  }
  const std::optional<SignatureFacts> sig = SignatureOf(m);

  if (json) {
    out << "{\"resources\": [";
    for (size_t i = 0; i < listed.size(); ++i) {
      const TResourceDetails& r = *listed[i].entry->resource;
      const std::optional<TUpdateFileResource>& f = listed[i].entry->fields;
      out << (i ? ",\n  " : "\n  ") << "{\"type\": " << Json(r.Type()) << ", \"language\": " << r.Language() << ", \"size\": " << r.DataSize()
          << ", \"name\": " << Json(PrintableName(r.Name()));
      if (f)
        out << ", \"file_name\": " << Json(f->FileName) << ", \"version\": " << JsonOrNull(f->Version) << ", \"copy_type\": " << int(f->CopyType)
            << ", \"base_kind\": " << int(f->BaseKind) << ", \"sub_folder_index\": " << f->SubFolderIndex << ", \"folder\": " << JsonOrNull(f->FolderText)
            << ", \"storage\": " << Json(f->StoredPlain ? "plain" : "zlib") << ", \"required_folder\": " << JsonOrNull(f->RequiredFolder);
      if (!listed[i].entry->error.empty()) out << ", \"unparsable\": " << Json(listed[i].entry->error);
      if (!listed[i].inflated.empty())
        out << (listed[i].damaged ? ", \"damaged\": " + Json(listed[i].inflated) : ", \"inflated_size\": " + listed[i].inflated);
      out << "}";
    }
    out << (listed.empty() ? "],\n" : "\n ],\n") << " \"digest_list\": " << (digestsRead || digests != "none" ? Json(digests) : "null")
        << ",\n \"signature\": " << (sig ? Json(SignatureText(*sig)) : "null") << "}\n";
    return;
  }
  for (const Listed& l : listed) {
    const TResourceDetails& r = *l.entry->resource;
    out << r.Type() << "\tlang " << r.Language() << "\t" << r.DataSize() << " bytes";
    if (l.entry->fields) {
      const TUpdateFileResource& f = *l.entry->fields;
      out << "\t" << f.FileName << " | " << f.Version << " | copy " << int(f.CopyType) << " | base " << int(f.BaseKind)
          << " | index " << f.SubFolderIndex << " | " << f.FolderText << " | " << (f.StoredPlain ? "plain" : "zlib");
      if (!f.RequiredFolder.empty()) out << " | required " << f.RequiredFolder;
      if (!l.inflated.empty()) out << (l.damaged ? "\tdamaged: " + l.inflated : "\tinflated " + l.inflated + " bytes");
    } else {
      out << "\t" << PrintableName(r.Name());
      if (!l.entry->error.empty()) out << "\tunparsable: " << l.entry->error;
    }
    out << "\n";
  }
  out << "digest list: " << digests << "\n";
  out << "signature: " << (sig ? SignatureText(*sig) : "none") << "\n";
}

}  // namespace updater::toolpack
