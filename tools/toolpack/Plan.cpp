// toolpack plan: the program's rules asked of a client folder instead of the PC.
#include "Plan.h"

#include <ostream>
#include <system_error>

#include "ProgramReading.h"
#include "ToolpackIo.h"
#include "Toolpack.h"
#include "core/PathText.h"
#include "core/VersionRules.h"
#ifdef _WIN32
#include "platform/Processes.h"
#endif

namespace updater::toolpack {
namespace fs = std::filesystem;

ClientFolder::ClientFolder(fs::path folder, std::string installRoot) : folder_(std::move(folder)), installRoot_(std::move(installRoot)) {
  if (installRoot_.empty() || installRoot_.back() != '\\') installRoot_ += '\\';
}

bool ClientFolder::Inside(std::string_view path) const {
  const std::string_view root(installRoot_.data(), installRoot_.size() - 1);
  return path.size() >= root.size() && EqualsIgnoreCase(path.substr(0, root.size()), root) &&
         (path.size() == root.size() || path[root.size()] == '\\');
}

std::optional<fs::path> ClientFolder::Local(std::string_view path) const {
  if (!Inside(path)) return std::nullopt;
  fs::path at = folder_;
  std::error_code ec;
  size_t start = installRoot_.size() - 1;
  while (start < path.size()) {
    size_t end = path.find('\\', start + 1);
    if (end == std::string_view::npos) end = path.size();
    const std::string part(path.substr(start + 1, end - start - 1));
    start = end;
    if (part.empty()) continue;
    if (fs::exists(at / Path(part), ec)) {
      at /= Path(part);
      continue;
    }
    std::optional<fs::path> match;
    for (fs::directory_iterator it(at, ec), last; !ec && it != last; it.increment(ec))
      if (EqualsIgnoreCase(Utf8(it->path().filename()), part)) match = it->path();
    if (!match) return std::nullopt;
    at = *match;
  }
  return at;
}

bool ClientFolder::FolderExists(std::string_view path) const {
  std::error_code ec;
  const std::optional<fs::path> local = Local(path);
  return local && fs::is_directory(*local, ec);
}

bool ClientFolder::FileExists(std::string_view path) const {
  std::error_code ec;
  const std::optional<fs::path> local = Local(path);
  return local && fs::is_regular_file(*local, ec);
}

namespace {

// Each staged file's version, as the program would read it from the staging folder. Only a file
// that starts like an image is kept whole, to read its version.
class Versions final : public ContentSink {
 public:
  void Open(const TUpdateFileResource&) override {
    bytes_.clear();
    image_ = true;
  }
  void Write(const void* data, size_t n) override {
    if (!image_) return;
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
    image_ = bytes_.size() < 2 || (bytes_[0] == 'M' && bytes_[1] == 'Z');
    if (!image_) bytes_.clear();
  }
  void Staged(const TUpdateFileResource&) override { versions.push_back(image_ ? FileVersionOf(bytes_) : std::string(kNoVersion)); }
  std::vector<std::string> versions;

 private:
  std::vector<unsigned char> bytes_;
  bool image_ = true;
};

std::string SkipReason(const ItemPlace& p) {
  if (p.baseKind == 2) return "no Quorix root: it lies outside a client folder";
  if (p.baseKind == 0 && Trim(p.itemPath).empty()) return "no target folder";
  if (p.copyType == 8) return "copy type 8 deploys only over an installed file, and there is none";
  return "copy type " + std::to_string(p.copyType) + " needs its target folder, and it is missing";
}

std::string AfterText(const TUpdateFileResource& f, const std::string& target, const ClientFolder& pc) {
  const AfterDeploy a = AfterDeployOf(f.CopyType, target);
  std::string text;
  if (a.kind == AfterDeploy::Kind::RunOnce) text = "RunOnce value \"" + a.command + "\"";
  if (a.kind == AfterDeploy::Kind::Open) text = a.command.empty() ? "opened" : "opened with \"" + a.command + "\"";
  if (a.condition == AfterDeploy::Condition::PostgreSql) text += ", when the clinic database is PostgreSQL";
  if (a.condition == AfterDeploy::Condition::RequiredFolder) {
    const std::vector<std::string> folders = RequiredFolders(f.RequiredFolder, pc.InstallRoot());
    bool any = false;
    for (const std::string& folder : folders) any = any || pc.FolderExists(folder);
    text += folders.empty() ? ", never: no required folder is given"
                            : ", when " + folders.front() + " or " + folders.back() + " exists (now: " + (any ? "yes" : "no") + ")";
  }
  return text.empty() ? text : text + " (" + CopyTypeName(f.CopyType) + ")";
}

void AddOnce(std::vector<std::string>& list, const std::string& name) {
  for (const std::string& n : list)
    if (n == name) return;
  list.push_back(name);
}

}  // namespace

ToolPlan MakePlan(const std::string& toolPath, const std::string& clientFolder, const std::string& installRoot) {
  std::error_code ec;
  if (!fs::is_directory(Path(clientFolder), ec)) throw Error(clientFolder, "not a folder");
  const ClientFolder pc(Path(clientFolder), installRoot);
  ToolPlan plan;
  plan.tool = toolPath;
  plan.folder = clientFolder;
  plan.installRoot = pc.InstallRoot();
  const TPEResourceModule m(toolPath);
  Versions versions;
  const ProgramReading reading = ReadAsProgram(PackageReader(m), versions);
  // What the program's load refuses: then nothing of the tool is deployed.
  plan.refused = reading.refused;
  if (!plan.refused.empty()) return plan;

  for (size_t i = 0; i < reading.files.size(); ++i) {
    const TUpdateFileResource& f = reading.files[i].record;
    PlannedFile p;
    p.name = f.FileName;
    p.size = reading.files[i].size;
    p.packageVersion = versions.versions[i];
    const ItemPlace place = PlaceOf(f);
    auto decide = [&](const std::string& target, std::string& version, uint64_t& size) {
      const fs::path local = *pc.Local(target);
      version = FileVersionOfFile(Utf8(local));
      size = fs::file_size(local, ec);
      return DecideCopy(version, p.packageVersion, [&] { return size != p.size; }, f.CopyType);
    };
    // The backup pass, then the deploy pass, as the program runs them.
    const BackupAnswer backup = BackupAndTarget(place, pc);
    if (backup.ok && pc.FileExists(backup.targetPath)) {
      std::string version;
      uint64_t size = 0;
      if (decide(backup.targetPath, version, size).copy) {
        p.backup = backup.backupFolder + f.FileName;
        plan.backupBytes += size;
      }
    }
    const PathAnswer target = TargetPath(place, pc);
    if (!target.ok) {
      p.decision = "skip";
      p.reason = SkipReason(place);
    } else {
      p.target = target.path;
      p.outside = !pc.Inside(target.path);
      if (!pc.FileExists(target.path)) {
        p.decision = "deploy";
        p.reason = p.outside ? "outside the client folder: not inspected" : "not installed";
      } else {
        const CopyDecision d = decide(target.path, p.installedVersion, p.installedSize);
        p.decision = d.copy ? "deploy" : "keep";
        p.reason = CopyReasonText(d.reason);
      }
      p.after = AfterText(f, target.path, pc);
    }
    if (p.decision == "deploy") plan.bytesToWrite += p.size;
    const std::string lower = ToLowerAscii(f.FileName);
    switch (ClassifyStagedFileName(lower)) {
      case NameClass::Exe: AddOnce(plan.programs, lower); break;
      case NameClass::Dll: AddOnce(plan.modules, lower); break;
      case NameClass::None: break;
    }
    plan.files.push_back(std::move(p));
  }
#ifdef _WIN32
  for (const ProcessEntry& running : ProcessSnapshot())
    for (const std::string& name : plan.programs)
      if (EqualsIgnoreCase(running.exeName, name)) AddOnce(plan.runningNow, name);
#endif
  const ToolOptions& options = reading.options;
  if (options.prevTool) {
    plan.prevTool = *options.prevTool;
    for (const PlannedFile& f : plan.files) plan.prevToolInPackage = plan.prevToolInPackage || EqualsIgnoreCase(f.name, plan.prevTool);
  }
  plan.dataTool = options.dataTool;
  plan.dataToolAutoRun = options.autoRunDataTool;
  plan.document = options.document;
  plan.documentsOpened = options.openDocuments;
  plan.hidden = options.hidden;
  return plan;
}

namespace {

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + Json(items[i]);
  return out + "]";
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& i : items) out += (out.empty() ? "" : ", ") + i;
  return out.empty() ? "none" : out;
}

}  // namespace

namespace {

struct Totals {
  size_t deploy = 0, keep = 0, skip = 0, backups = 0;
  explicit Totals(const ToolPlan& plan) {
    for (const PlannedFile& f : plan.files) {
      deploy += f.decision == "deploy";
      keep += f.decision == "keep";
      skip += f.decision == "skip";
      backups += !f.backup.empty();
    }
  }
};

std::string DryRun(const ToolPlan& plan) {
  return "a dry run: nothing in " + plan.folder + " is written; its files are only read for their versions and sizes";
}

void PrintJson(const ToolPlan& plan, std::ostream& out) {
  const Totals t(plan);
  out << "{\"dry_run\": " << Json(DryRun(plan)) << ",\n \"tool\": " << Json(plan.tool) << ", \"client_folder\": " << Json(plan.folder)
      << ", \"install_root\": " << Json(plan.installRoot) << ",\n \"refused\": " << JsonOrNull(plan.refused) << ",\n \"files\": [";
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const PlannedFile& f = plan.files[i];
    out << (i ? ",\n  " : "\n  ") << "{\"name\": " << Json(f.name) << ", \"decision\": " << Json(f.decision)
        << ", \"reason\": " << Json(f.reason) << ", \"target\": " << JsonOrNull(f.target) << ", \"outside\": " << (f.outside ? "true" : "false")
        << ", \"installed_version\": " << JsonOrNull(f.installedVersion) << ", \"package_version\": " << Json(f.packageVersion)
        << ", \"size\": " << f.size << ", \"installed_size\": " << f.installedSize << ", \"backup\": " << JsonOrNull(f.backup)
        << ", \"after\": " << JsonOrNull(f.after) << "}";
  }
  out << (plan.files.empty() ? "],\n" : "\n ],\n") << " \"end_if_running\": {\"programs\": " << JsonList(plan.programs)
      << ", \"modules\": " << JsonList(plan.modules) << ", \"running_now\": " << JsonList(plan.runningNow) << "},\n"
      << " \"prerequisite_tool\": " << JsonOrNull(plan.prevTool) << ", \"prerequisite_in_package\": " << (plan.prevToolInPackage ? "true" : "false")
      << ",\n \"document\": " << JsonOrNull(plan.document) << ", \"documents_opened\": " << (plan.documentsOpened ? "true" : "false")
      << ",\n \"data_tool\": " << JsonOrNull(plan.dataTool) << ", \"data_tool_started\": " << (plan.dataToolAutoRun ? "true" : "false")
      << ",\n \"hidden\": " << (plan.hidden ? "true" : "false") << ",\n \"totals\": {\"files\": " << plan.files.size()
      << ", \"deploy\": " << t.deploy << ", \"keep\": " << t.keep << ", \"skip\": " << t.skip << ", \"bytes_to_write\": " << plan.bytesToWrite
      << ", \"backups\": " << t.backups << ", \"backup_bytes\": " << plan.backupBytes << "}}\n";
}

void PrintText(const ToolPlan& plan, std::ostream& out) {
  out << "plan of " << plan.tool << " for " << plan.folder << " as " << plan.installRoot << ": " << DryRun(plan) << "\n";
  if (!plan.refused.empty()) {
    out << "refused: the program would not load this tool (" << plan.refused << "): nothing would be deployed\n";
    return;
  }
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const PlannedFile& f = plan.files[i];
    out << "  " << i + 1 << ". " << f.name << ": " << f.decision << " (" << f.reason << ")\n";
    if (!f.target.empty()) out << "       target   " << f.target << "\n";
    out << "       versions installed " << (f.installedVersion.empty() ? "-" : f.installedVersion) << ", package " << f.packageVersion
        << " (" << f.size << " bytes)\n";
    if (!f.backup.empty()) out << "       backup   " << f.backup << "\n";
    if (!f.after.empty()) out << "       then     " << f.after << "\n";
  }
  out << "programs ended if running: " << Joined(plan.programs);
#ifdef _WIN32
  out << " (running now: " << Joined(plan.runningNow) << ")";
#endif
  out << "\nmodules whose users are ended: " << Joined(plan.modules) << "\n";
  if (!plan.prevTool.empty())
    out << "prerequisite tool: " << plan.prevTool << (plan.prevToolInPackage ? " (in the package)" : " (not in the package)") << "\n";
  if (!plan.document.empty())
    out << "document: " << plan.document << (plan.documentsOpened ? ", opened after a successful run" : ", not opened (NOTEXECMANUAL=1)") << "\n";
  if (!plan.dataTool.empty())
    out << "data tool: " << plan.dataTool << ", registered after a successful run"
        << (plan.dataToolAutoRun ? " and started where the PC may run it (AUTOEXECTETBL=1)" : "") << "\n";
  if (plan.hidden) out << "run hidden (HIDDEN=1)\n";
  const Totals t(plan);
  out << "totals: " << plan.files.size() << " files: " << t.deploy << " to deploy, " << t.keep << " to keep, " << t.skip << " to skip; "
      << plan.bytesToWrite << " bytes to write; backups: " << t.backups << " files, " << plan.backupBytes << " bytes\n";
}

}  // namespace

void PrintPlan(const ToolPlan& plan, std::ostream& out, bool json) {
  if (json) PrintJson(plan, out);
  else PrintText(plan, out);
}

}  // namespace updater::toolpack
