#include "package/Package.h"

#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "env/ServiceCalls.h"
#include "package/Inflate.h"
#include "package/pe/PEFile.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
namespace {

// Output goes to disk in larger writes than the 4096-byte inflate blocks.
constexpr size_t kWriteBuffer = 256 * 1024;

void WriteOrThrow(ReplacingFile& out, const std::string& data) {
  if (!data.empty() && !out.Write(data.data(), data.size())) throw CannotWrite(out.TemporaryPath(), ::GetLastError());
}

void Commit(ReplacingFile& out, const std::string& path) {
  if (!out.Commit()) throw CannotCreate(path, ::GetLastError());
}


void PlainToFile(const TResourceDetails& resource, const std::string& path) {
  ReplacingFile out(path, ReplacingFile::Durability::Cached);  // staging: redone by a later run
  if (!out.IsOpen()) throw CannotCreate(path, out.OpenError());
  std::string buf(kWriteBuffer, '\0');
  const auto read = resource.Reader();
  while (const size_t n = read(buf.data(), buf.size()))
    if (!out.Write(buf.data(), n)) throw CannotWrite(path, ::GetLastError());
  Commit(out, path);
}

void WritePayload(const TResourceDetails& resource, const TUpdateFileResource& record, const std::string& path) {
  if (record.StoredPlain != 0) PlainToFile(resource, path);
  else InflateToFile(resource, path);
}

const TResourceDetails& FindOrThrow(const TPEResourceModule& module, const TResourceDetails& listed) {
  const TResourceDetails* r = module.FindResourceDetails(listed.Type(), listed.Name(), kPackageLanguage);
  if (!r) throw std::runtime_error("Resource " + listed.Type() + " not found for language " + std::to_string(kPackageLanguage));
  return *r;
}

// A payload written under a name from the image must stay inside its folder, and a file it
// deploys inside the client folders; anything else is a damaged resource.
void CheckEntry(const TUpdateFileResource& record, bool module) {
  std::optional<std::string> damage = FileNameDamage(record.FileName);
  if (!damage && module) damage = PlaceDamage(record);
  if (damage) throw std::runtime_error("Damaged resource: " + *damage + " \"" + record.FileName + "\"");
}

std::string ReadTextFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, 1u << 20))  // an options file is a few lines
    throw CannotOpen(path, ::GetLastError());
  return FromAnsi(bytes);
}

void DeleteControlFile(const std::string& path) {
  if (::DeleteFileW(Wide(path).c_str())) LogLine("    실행옵션 리소스파일 삭제 [" + path + "]");
}

}  // namespace

void InflateToFile(const TResourceDetails& resource, const std::string& path) {
  ReplacingFile out(path, ReplacingFile::Durability::Cached);  // staging: redone by a later run
  if (!out.IsOpen()) throw CannotCreate(path, out.OpenError());
  std::string pending;
  pending.reserve(kWriteBuffer);
  InflateStream(
      resource.Reader(),
      [&](const void* data, size_t n) {
        pending.append(static_cast<const char*>(data), n);
        if (pending.size() >= kWriteBuffer) {
          WriteOrThrow(out, pending);
          pending.clear();
        }
      });
  WriteOrThrow(out, pending);
  Commit(out, path);
}

void ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool firstTool, bool tool08, Clock& clock) {
  if (!FileExists(toolPath)) return;
  bool hidden = false, openDocuments = true, autoRun = false;
  std::string dataTool, document;
  RunState& run = Run();

  TPEResourceModule module(toolPath);
  for (size_t i = 0; i < module.ResourceCount(); ++i) {
    const TResourceDetails& listed = module.ResourceDetails(i);
    const std::vector<std::string> fields = SplitResourceName(listed.Name());
    if (fields.size() < 7) continue;
    const TUpdateFileResource record = ParseResourceName(listed.Type(), fields);
    const TResourceDetails& resource = FindOrThrow(module, listed);
    const std::string& name = record.FileName;

    if (!Trim(name).empty()) {
      const std::string lower = ToLowerAscii(name);
      switch (ClassifyPackageName(name)) {
        case NameClass::Dll: run.PackageDllList.AddUnique(lower); break;
        case NameClass::Exe: run.PackageExeList.AddUnique(lower); break;
        case NameClass::None: break;
      }
    }
    if (ToUpperAscii(name).find("VEROZ") != std::string::npos && IsDataToolName(name)) dataTool = name;
    if (IsDocumentIndex(record.SubFolderIndex)) document = name;

    const std::string type = ToUpperAscii(listed.Type());
    if (type != kPrevToolType && type != kUpdateConfigType) continue;

    CheckEntry(record, false);
    const std::string controlFile = outputFolder + name;
    WritePayload(resource, record, controlFile);
    LogLine("실행옵션 리소스파일 생성 [" + toolPath + " → " + controlFile + "]");
    try {
      const std::string text = ReadTextFile(controlFile);
      if (type == kPrevToolType) {
        if (const std::optional<std::string> number = PrevToolNumber(text)) {
          const std::string prevTool = "VEROZ" + *number + ".exe";
          run.PrevToolOwnerList.Add(toolPath);
          run.PrevToolList.Add(prevTool);
          RecordHistory(tool08, toolPath, NumericVersion(toolPath), prevTool, clock);
        }
      } else {
        const UpdateOptions options = ParseUpdateConfig(text);
        hidden = options.Hidden;
        if (hidden) LogLine("    실행옵션 → [HIDDEN=1, 숨김모드로 자동실행]");
        openDocuments = !options.NotExecManual;
        if (options.NotExecManual) LogLine("    실행옵션 → [NOTEXECMANUAL=1, 매뉴얼파일(*.mht) 자동실행 안함]");
        autoRun = options.AutoExecTetbl;
        if (autoRun) LogLine("    실행옵션 → [AUTOEXECTETBL=1, 숨김모드로 자료정리 툴(" + dataTool + ") 자동실행]");
      }
    } catch (...) {
      DeleteControlFile(controlFile);
      throw;
    }
    DeleteControlFile(controlFile);
  }

  if (firstTool) {
    run.HiddenRun = hidden;
    run.OpenDocuments = openDocuments;
  } else {
    run.HiddenRun = run.HiddenRun && hidden;
    run.OpenDocuments = run.OpenDocuments || openDocuments;
  }
  if (!document.empty()) run.OpenFileList.Add(document);
  if (!dataTool.empty()) {
    run.DataToolList.Add(dataTool);
    run.DataToolAutoRunList.Add(autoRun ? "1" : "0");
  }
}

std::string CreateStagingFolder(const std::string& toolPath) { return StagingFolder(toolPath); }

void ExtractPackage(const std::string& toolPath, const std::string& stagingFolder, std::vector<TUpdateFileResource>& resources,
                    std::string& currentFile) {
  if (!FileExists(toolPath)) return;
  RunState& run = Run();
  TPEResourceModule module(toolPath);
  for (size_t i = 0; i < module.ResourceCount(); ++i) {
    currentFile.clear();
    const TResourceDetails& listed = module.ResourceDetails(i);
    if (listed.Type() != kModuleType) continue;
    const std::vector<std::string> fields = SplitResourceName(listed.Name());
    if (fields.size() < 7) continue;
    TUpdateFileResource record = ParseResourceName(listed.Type(), fields);
    const std::string& name = record.FileName;
    currentFile = name + "_LoadFromStream";
    CheckEntry(record, true);
    const TResourceDetails& resource = FindOrThrow(module, listed);
    const std::string target = stagingFolder + name;
    if (record.StoredPlain != 0) {
      currentFile = name + "_SaveToFile";
      PlainToFile(resource, target);
    } else {
      currentFile = name + "_DecompressFiles";
      InflateToFile(resource, target);
    }
    if (ToUpperAscii(name).find("VEROZ") != std::string::npos) {
      const int at = run.PrevToolList.IndexOf(name);
      if (at >= 0) run.PrevToolList[static_cast<size_t>(at)] = target;
    }
    resources.push_back(std::move(record));
    LogLine("    파일생성 [" + std::to_string(i + 1) + ". " + target + "]");
  }
  LogLine("");
}

}  // namespace updater
