#include "package/Package.h"

#include <algorithm>
#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "env/FileVersion.h"
#include "env/ServiceCalls.h"
#include "package/Inflate.h"
#include "package/pe/PEFile.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Sha256.h"
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


void PlainToFile(const TResourceDetails& resource, const std::string& path, BackgroundSha256* hash = nullptr) {
  ReplacingFile out(path, ReplacingFile::Durability::Cached);  // staging: redone by a later run
  if (!out.IsOpen()) throw CannotCreate(path, out.OpenError());
  const auto read = resource.Reader();
  out.CopyFrom(
      [&](void* buf, size_t max) {
        const size_t n = read(buf, max);
        if (hash) hash->Add(buf, n);
        return n;
      },
      kWriteBuffer);
  Commit(out, path);
}

void WritePayload(const TResourceDetails& resource, const TUpdateFileResource& record, const std::string& path) {
  if (record.StoredPlain != 0) PlainToFile(resource, path);
  else InflateToFile(resource, path);
}

std::runtime_error Damaged(const std::string& what, const std::string& fileName) {
  return std::runtime_error("Damaged resource: " + what + " \"" + fileName + "\"");
}

// The package's digest list, when it carries one; a list that does not read is damage.
std::optional<std::vector<FileDigest>> DigestList(const TPEResourceModule& module) {
  const TResourceDetails* r = module.FindResourceDetails(std::string(kDigestType), std::string(kDigestName), kPackageLanguage);
  if (!r) return std::nullopt;
  if (r->DataSize() > (16u << 20)) throw Damaged("digest list too large", std::string(kDigestName));
  const std::vector<unsigned char> text = r->Data();
  try {
    return ParseDigestList(std::string(text.begin(), text.end()));
  } catch (const std::exception& e) {
    throw Damaged(e.what(), std::string(kDigestName));
  }
}

const TResourceDetails& FindOrThrow(const TPEResourceModule& module, const TResourceDetails& listed) {
  const TResourceDetails* r = module.FindResourceDetails(listed.Type(), listed.Name(), kPackageLanguage);
  if (!r) throw std::runtime_error("Resource " + listed.Type() + " not found for language " + std::to_string(kPackageLanguage));
  return *r;
}

// A payload written under a name from the image must stay inside its folder, and a file it
// deploys inside the client folders; anything else is a damaged resource.
void CheckEntry(const TUpdateFileResource& record, bool module) {
  if (const std::optional<std::string> damage = EntryDamage(record, module)) throw Damaged(*damage, record.FileName);
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

void InflateToFile(const TResourceDetails& resource, const std::string& path, BackgroundSha256* hash) {
  ReplacingFile out(path, ReplacingFile::Durability::Cached);  // staging: redone by a later run
  if (!out.IsOpen()) throw CannotCreate(path, out.OpenError());
  std::string pending;
  pending.reserve(kWriteBuffer);
  InflateStream(
      resource.Reader(),
      [&](const void* data, size_t n) {
        if (hash) hash->Add(data, n);
        pending.append(static_cast<const char*>(data), n);
        if (pending.size() >= kWriteBuffer) {
          WriteOrThrow(out, pending);
          pending.clear();
        }
      });
  WriteOrThrow(out, pending);
  Commit(out, path);
}

ToolOptions ScanToolOptions(const std::string& toolPath, const std::string& outputFolder, bool tool08, Clock& clock) {
  ToolOptions found;
  if (!FileExists(toolPath)) return found;
  auto addOnce = [](std::vector<std::string>& list, const std::string& name) {
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
  };

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
        case NameClass::Dll: addOnce(found.dlls, lower); break;
        case NameClass::Exe: addOnce(found.exes, lower); break;
        case NameClass::None: break;
      }
    }
    if (ToUpperAscii(name).find("VEROZ") != std::string::npos && IsDataToolName(name)) found.dataTool = name;
    if (IsDocumentIndex(record.SubFolderIndex)) found.document = name;

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
          found.prevTool = "VEROZ" + *number + ".exe";
          RecordHistory(tool08, toolPath, NumericVersion(toolPath), *found.prevTool, clock);
        }
      } else {
        const UpdateOptions options = ParseUpdateConfig(text);
        found.hidden = options.Hidden;
        if (found.hidden) LogLine("    실행옵션 → [HIDDEN=1, 숨김모드로 자동실행]");
        found.openDocuments = !options.NotExecManual;
        if (options.NotExecManual) LogLine("    실행옵션 → [NOTEXECMANUAL=1, 매뉴얼파일(*.mht) 자동실행 안함]");
        found.autoRunDataTool = options.AutoExecTetbl;
        if (found.autoRunDataTool) LogLine("    실행옵션 → [AUTOEXECTETBL=1, 숨김모드로 자료정리 툴(" + found.dataTool + ") 자동실행]");
      }
    } catch (...) {
      DeleteControlFile(controlFile);
      throw;
    }
    DeleteControlFile(controlFile);
  }

  return found;
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
  TPEResourceModule module(toolPath);
  // Each file is hashed as it is written (on a thread of its own, beside the inflating and writing)
  // and checked before anything else of the run happens.
  const std::optional<std::vector<FileDigest>> digests = DigestList(module);
  std::vector<std::string> staged;
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
    std::optional<std::string> expected;
    std::unique_ptr<BackgroundSha256> hash;
    if (digests) {
      expected = DigestOf(*digests, name);
      if (!expected) throw Damaged("not in the package's digest list", name);
      hash = std::make_unique<BackgroundSha256>();
    }
    // Deployed as always (a plain copy, to the Exe folder), but not silently.
    if (const std::optional<std::string> unknown = UnknownFieldDamage(record))
      LogLine("    → [" + name + "] 정의되지 않은 값(" + *unknown + "), 일반 복사로 배포");
    const TResourceDetails& resource = FindOrThrow(module, listed);
    const std::string target = stagingFolder + name;
    if (record.StoredPlain != 0) {
      currentFile = name + "_SaveToFile";
      PlainToFile(resource, target, hash.get());
    } else {
      currentFile = name + "_DecompressFiles";
      InflateToFile(resource, target, hash.get());
    }
    if (hash && hash->HexDigest() != *expected) {
      currentFile = name + "_CheckDigest";
      ::DeleteFileW(Wide(target).c_str());  // never left where a later step could take it
      throw Damaged("content differs from its SHA-256 digest", name);
    }
    staged.push_back(name);
    if (ToUpperAscii(name).find("VEROZ") != std::string::npos) {
      const int at = prevTools.IndexOf(name);
      if (at >= 0) prevTools[static_cast<size_t>(at)] = target;
    }
    resources.push_back(std::move(record));
    LogLine("    파일생성 [" + std::to_string(i + 1) + ". " + target + "]");
  }
  if (digests) {
    currentFile.clear();
    for (const FileDigest& d : *digests)
      if (std::none_of(staged.begin(), staged.end(), [&](const std::string& n) { return EqualsIgnoreCase(n, d.fileName); }))
        throw Damaged("in the digest list but not in the package", d.fileName);
    LogLine("    SHA-256 확인 [" + std::to_string(staged.size()) + "개 파일 일치]");
  }
  LogLine("");
}

}  // namespace updater
