// toolpack diff: what changed between two update tools, file by file and option by option.
#include <cstdio>
#include <map>
#include <ostream>

#include "ProgramReading.h"
#include "ToolpackIo.h"
#include "Toolpack.h"
#include "core/PathText.h"

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

// Files by the content the program would stage, hashed here: a digest list proves nothing a diff
// could rely on.
ToolView Read(const std::string& path) {
  const TPEResourceModule m(path);
  const ProgramReading reading = ReadAsProgram(PackageReader(m), true);
  if (!reading.refused.empty()) throw Error(path, "the program would refuse this tool: " + reading.refused);
  ToolView view;
  for (const StagedFile& f : reading.files) view.files[ToLowerAscii(f.record.FileName)] = {f.record, f.sha256};
  const ToolOptions& o = reading.options;
  view.options["HIDDEN"] = o.hidden ? "1" : "0";
  view.options["NOTEXECMANUAL"] = o.openDocuments ? "0" : "1";
  view.options["AUTOEXECTETBL"] = o.autoRunDataTool ? "1" : "0";
  // The prerequisite's number, as the manifest gives it.
  view.options["PREVTOOL"] = o.prevTool ? o.prevTool->substr(5, o.prevTool->size() - 9) : std::string();
  view.options["data tool"] = o.dataTool;  // the one the pre-scan would name (the last in the package)
  view.options["document"] = o.document;
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
