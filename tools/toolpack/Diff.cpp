// toolpack diff: what changed between two update tools, file by file and option by option.
#include <cstdio>
#include <map>
#include <ostream>

#include "PackageEntry.h"
#include "Toolpack.h"
#include "core/PathText.h"
#include "package/Inflate.h"

namespace updater::toolpack {
namespace {

struct FileView {
  TUpdateFileResource fields;
  std::string sha256;  // of the content as the program stages it: a change of content, not of date
};

struct ToolView {
  std::map<std::string, FileView> files;  // by lower-case name
  std::map<std::string, std::string> options;
};

ToolView Read(const std::string& path) {
  TPEResourceModule m(path);
  ToolView view;
  // A tool's own digests spare reading its files; they are what check and the program hold it to.
  const std::optional<std::vector<FileDigest>> digests = DigestListOf(m, path);
  const std::vector<PackageEntry> entries = Entries(m);
  for (const PackageEntry& e : entries) {
    if (!e.fields || ToUpperAscii(e.resource->Type()) != kModuleType) continue;
    const TUpdateFileResource& f = *e.fields;
    std::optional<std::string> digest = digests ? DigestOf(*digests, f.FileName) : std::nullopt;
    if (!digest) digest = DigestOfStaged(*e.resource, f.StoredPlain != 0).sha256;
    view.files[ToLowerAscii(f.FileName)] = {f, *digest};
  }
  const PackageSummary summary = Summarize(entries);
  view.options["HIDDEN"] = summary.options.Hidden ? "1" : "0";
  view.options["NOTEXECMANUAL"] = summary.options.NotExecManual ? "1" : "0";
  view.options["AUTOEXECTETBL"] = summary.options.AutoExecTetbl ? "1" : "0";
  view.options["PREVTOOL"] = summary.prevTool.value_or("");
  view.options["data tool"] = summary.dataTool;  // the one the pre-scan would name (the last in the package)
  view.options["document"] = summary.document;
  return view;
}

struct Change {
  std::string kind, name, what, before, after;
};

std::string Storage(const TUpdateFileResource& f) { return f.StoredPlain ? "plain" : "zlib"; }

void Compare(const FileView& a, const FileView& b, std::vector<Change>& out) {
  const std::string& name = b.fields.FileName;
  auto field = [&](const char* what, const std::string& x, const std::string& y) {
    if (x != y) out.push_back({"changed", name, what, x, y});
  };
  if (a.sha256 != b.sha256) out.push_back({"changed", name, "content", a.sha256, b.sha256});
  field("version", a.fields.Version, b.fields.Version);
  field("copy type", std::to_string(a.fields.CopyType), std::to_string(b.fields.CopyType));
  field("base kind", std::to_string(a.fields.BaseKind), std::to_string(b.fields.BaseKind));
  field("sub-folder index", std::to_string(a.fields.SubFolderIndex), std::to_string(b.fields.SubFolderIndex));
  field("folder", a.fields.FolderText, b.fields.FolderText);
  field("required folder", a.fields.RequiredFolder, b.fields.RequiredFolder);
  field("storage", Storage(a.fields), Storage(b.fields));
}

}  // namespace

size_t Diff(const std::string& oldPath, const std::string& newPath, std::ostream& out, bool json) {
  const ToolView a = Read(oldPath), b = Read(newPath);
  std::vector<Change> changes;
  for (const auto& [key, file] : b.files) {
    const auto before = a.files.find(key);
    if (before == a.files.end())
      changes.push_back({"added", file.fields.FileName, "", "", file.fields.Version});
    else
      Compare(before->second, file, changes);
  }
  for (const auto& [key, file] : a.files)
    if (!b.files.count(key)) changes.push_back({"removed", file.fields.FileName, "", file.fields.Version, ""});
  for (const auto& [key, value] : b.options)
    if (a.options.at(key) != value) changes.push_back({"option", key, "", a.options.at(key), value});

  if (json) {
    out << "[";
    for (size_t i = 0; i < changes.size(); ++i) {
      const Change& c = changes[i];
      out << (i ? ",\n " : "\n ") << "{\"kind\": " << Json(c.kind) << ", \"name\": " << Json(c.name);
      if (!c.what.empty()) out << ", \"what\": " << Json(c.what);
      out << ", \"old\": " << Json(c.before) << ", \"new\": " << Json(c.after) << "}";
    }
    out << (changes.empty() ? "]\n" : "\n]\n");
    return changes.size();
  }
  for (const Change& c : changes) {
    if (c.kind == "added") out << "added    " << c.name << " (version " << c.after << ")\n";
    else if (c.kind == "removed") out << "removed  " << c.name << " (version " << c.before << ")\n";
    else if (c.kind == "changed" && c.what == "content")
      out << "changed  " << c.name << ": content sha256 " << c.before.substr(0, 12) << " -> " << c.after.substr(0, 12) << "\n";
    else if (c.kind == "changed") out << "changed  " << c.name << ": " << c.what << " " << c.before << " -> " << c.after << "\n";
    else out << "option   " << c.name << ": \"" << c.before << "\" -> \"" << c.after << "\"\n";
  }
  if (changes.empty()) out << "no difference\n";
  return changes.size();
}

}  // namespace updater::toolpack
