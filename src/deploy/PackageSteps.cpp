#include "deploy/PackageSteps.h"

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "env/FileVersion.h"
#include "env/ServiceCalls.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
namespace {

// Output goes to disk in larger writes than the 4096-byte inflate blocks.
constexpr size_t kWriteBuffer = 256 * 1024;

// One staged file at a time, written beside its name and moved in when whole.
class FileWriter {
 public:
  void Open(const std::string& path) {
    path_ = path;
    out_ = std::make_unique<ReplacingFile>(path, ReplacingFile::Durability::Cached);  // staging: redone by a later run
    if (!out_->IsOpen()) throw CannotCreate(path, out_->OpenError());
    pending_.clear();
    pending_.reserve(kWriteBuffer);
  }
  void Write(const void* data, size_t n) {
    pending_.append(static_cast<const char*>(data), n);
    if (pending_.size() >= kWriteBuffer) Flush();
  }
  void Close() {
    Flush();
    const bool committed = out_->Commit();
    out_.reset();
    if (!committed) throw CannotCreate(path_, LastOsError());
  }

 private:
  void Flush() {
    if (!pending_.empty() && !out_->Write(pending_.data(), pending_.size())) throw CannotWrite(out_->TemporaryPath(), LastOsError());
    pending_.clear();
  }
  std::string path_, pending_;
  std::unique_ptr<ReplacingFile> out_;
};

std::string ReadTextFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, 1u << 20))  // an options file is a few lines
    throw CannotOpen(path, LastOsError());
  return FromAnsi(bytes);
}

void DeleteControlFile(const std::string& path) {
  if (DeleteFileIfAny(path)) LogLine("    " + Fill(logform::kOptionFileDeleted, {path}));
}

// The control resources are written to the Temp folder, read back and deleted, whatever the reading
// gave; the options found are logged.
class PreScan final : public ScanEvents {
 public:
  PreScan(const std::string& toolPath, const std::string& outputFolder, bool tool08, Clock& clock)
      : toolPath_(toolPath), outputFolder_(outputFolder), tool08_(tool08), clock_(clock) {}

  std::string ControlText(const TUpdateFileResource& record, const TResourceDetails& payload) override {
    const std::string path = outputFolder_ + record.FileName;
    FileWriter out;
    out.Open(path);
    ReadStaged(payload, record.StoredPlain != 0, [&](const void* d, size_t n) { out.Write(d, n); });
    out.Close();
    LogLine(Fill(logform::kOptionFileMade, {toolPath_, path}));
    try {
      return ReadTextFile(path);
    } catch (...) {
      DeleteControlFile(path);
      throw;
    }
  }
  void ControlDone(const TUpdateFileResource& record) override { DeleteControlFile(outputFolder_ + record.FileName); }
  void PrevToolFound(const std::string& fileName) override {
    RecordHistory(tool08_, toolPath_, NumericVersion(toolPath_), fileName, clock_);
  }
  void OptionsFound(const ToolOptions& found) override {
    if (found.hidden) LogLine("    " + Fill(logform::kHiddenOption, {}));
    if (!found.openDocuments) LogLine("    " + Fill(logform::kNoManualsOption, {}));
    if (found.autoRunDataTool) LogLine("    " + Fill(logform::kDataToolOption, {found.dataTool}));
  }
 private:
  const std::string& toolPath_;
  const std::string& outputFolder_;
  bool tool08_;
  Clock& clock_;
};

class Extraction final : public StagingSink {
 public:
  Extraction(const std::string& stagingFolder, StringList& prevTools, std::vector<TUpdateFileResource>& resources,
             std::string& currentFile)
      : folder_(stagingFolder), prevTools_(prevTools), resources_(resources), currentFile_(currentFile) {}

  void Doing(const std::string& currentFile) override { currentFile_ = currentFile; }
  void Begin(const TUpdateFileResource& record) override {
    // Deployed as always (a plain copy, to the Exe folder), but not silently.
    if (const std::optional<std::string> unknown = UnknownFieldDamage(record))
      LogLine("    → " + Fill(logform::kUnknownCopyType, {record.FileName, *unknown}));
  }
  void Open(const TUpdateFileResource& record) override { out_.Open(folder_ + record.FileName); }
  void Write(const void* data, size_t n) override { out_.Write(data, n); }
  void Close() override { out_.Close(); }
  void Discard(const TUpdateFileResource& record) override {
    DeleteFileIfAny(folder_ + record.FileName);  // never left where a later step could take it
  }
  void Staged(const PackageEntry& entry) override {
    const std::string& name = entry.fields->FileName;
    const std::string target = folder_ + name;
    if (ContainsIgnoreCase(name, "VEROZ")) {
      const int at = prevTools_.IndexOf(name);
      if (at >= 0) prevTools_[static_cast<size_t>(at)] = target;
    }
    resources_.push_back(*entry.fields);
    LogLine("    " + Fill(logform::kFileCreated, {std::to_string(entry.index + 1), target}));
  }

 private:
  const std::string& folder_;
  StringList& prevTools_;
  std::vector<TUpdateFileResource>& resources_;
  std::string& currentFile_;
  FileWriter out_;
};

}  // namespace

ToolOptions ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool tool08, Clock& clock) {
  if (!FileExists(toolPath)) return {};
  const TPEResourceModule module(toolPath);
  PreScan scan(toolPath, outputFolder, tool08, clock);
  return PackageReader(module).Scan(scan);
}

void MergeToolOptions(RunState& run, const std::string& toolPath, const ToolOptions& options, bool firstTool) {
  for (const std::string& name : options.dlls) run.PackageDllList.AddUnique(name);
  for (const std::string& name : options.exes) run.PackageExeList.AddUnique(name);
  if (options.prevTool) {
    run.PrevToolOwnerList.Add(toolPath);
    run.PrevToolList.Add(*options.prevTool);
  }
  if (firstTool) {
    run.HiddenRun = options.hidden;
    run.OpenDocuments = options.openDocuments;
  } else {
    run.HiddenRun = run.HiddenRun && options.hidden;
    run.OpenDocuments = run.OpenDocuments || options.openDocuments;
  }
  if (!options.document.empty()) run.OpenFileList.Add(options.document);
  if (!options.dataTool.empty()) {
    run.DataToolList.Add(options.dataTool);
    run.DataToolAutoRunList.Add(options.autoRunDataTool ? "1" : "0");
  }
}

std::string CreateStagingFolder(const std::string& toolPath) { return StagingFolder(toolPath); }

void ExtractPackage(const std::string& toolPath, const std::string& stagingFolder, StringList& prevTools,
                    std::vector<TUpdateFileResource>& resources, std::string& currentFile) {
  if (!FileExists(toolPath)) return;
  const TPEResourceModule module(toolPath);
  Extraction sink(stagingFolder, prevTools, resources, currentFile);
  bool checked = false;
  const size_t staged = PackageReader(module).Stage(sink, &checked);
  if (checked) LogLine("    " + Fill(logform::kDigestsMatch, {std::to_string(staged)}));
  LogLine("");
}

}  // namespace updater
