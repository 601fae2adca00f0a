#include "env/Housekeeping.h"

#include <array>
#include <charconv>

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/LogFormat.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/ServiceCalls.h"
#include "env/Termination.h"
#include "platform/FileSystem.h"
#include "platform/ReplacingFile.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr std::array<const char*, 4> kStartOfRunProcesses = {"TXOrvex.exe", "Halcyra.exe", "Truvial.exe", "Cvl.Sentra.Main.exe"};
constexpr int kKeepWindow = 30;
constexpr const char* kEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

}  // namespace

void StopStartOfRunProcesses(RunState& run) {
  LogLine(Fill(logform::kStartOfRunProcesses, {}));
  StringList names;
  for (const char* name : kStartOfRunProcesses) {
    LogLine("    " + Fill(logform::kProcessToEnd, {name}));
    names.Add(ToLowerAscii(name));
  }
  TerminateProcessesByName(run, names, false, true);
}

void StartOfRunCleanup(bool tool08, StringList& failures) {
  SweepTemporaryFiles(ExeFolder(), failures);
  DeleteOldTools(tool08);
}

void SweepTemporaryFiles(std::string_view folderText, StringList& failures) {
  const std::string folder = WithTrailingBackslash(folderText);
  std::vector<std::string> matches;
  ListFilesInto(folder, "*" + std::string(kTemporarySuffix), {}, matches);
  for (const std::string& path : matches) {
    try {
      if (ForceDelete(path)) LogLine(Fill(logform::kTempDeleted, {path}));
      else LogLine(Fill(logform::kTempNotDeleted, {path + "(" + SystemErrorText(LastOsError()) + ")"}));
    } catch (const std::exception& e) {
      const std::string line = "[임시파일삭제실패(예외발생)] " + path + " (" + e.what() + ")";
      LogLine(line);
      failures.Add(line);
    }
  }
}

void DeleteOldTools(bool tool08) {
  if (!FileExists(HistoryFilePath(tool08))) return;
  const std::string digits = DigitsOnly(ReadRunVersion(tool08));
  int64_t runVersion = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), runVersion);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || runVersion > INT32_MAX) return;
  const std::string prefix = tool08 ? "Tool08_" : "Ruve01_";
  bool deleted = false;
  std::vector<std::string> tools;
  ListFilesInto(FennixUpdateFolder(tool08), prefix + "*.exe", {}, tools);
  for (const std::string& path : tools) {
    const std::string name = FileNamePart(path);
    if (name.size() <= prefix.size() + 4) continue;
    const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    int64_t n = 0;
    const auto [e, c] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (c != std::errc() || e != number.data() + number.size() || n < INT32_MIN || n > INT32_MAX) continue;
    if (n < runVersion - kKeepWindow && DeleteFileIfAny(path)) {
      LogLine(Fill(logform::kOldToolDeleted, {path}));
      deleted = true;
    }
  }
  if (deleted) LogLine("");
}

std::string RenameBusyFile(std::string_view path, Clock& clock) {
  FolderAndName fn;
  SplitAtLastBackslash(path, fn);
  StemAndExtension se;
  const std::string stem = SplitAtLastDot(fn.name, se) ? se.stem : fn.name;
  const std::string renamed = WithTrailingBackslash(fn.folder) + stem + "_" + FileTimeStamp(clock.Now()) + std::string(kTemporarySuffix);
  RenameFile(path, renamed);
  LogLine(Fill(logform::kBusyFileRenamed, {renamed}), true);
  return renamed;
}

void RemoveFolderTree(std::string_view folder) { DeleteTree(folder, false); }

void AddSearchPathEntries() {
  for (const std::string& folder : {CommLibFolder(), ExeFolder(), ToolFolder()}) {
    const std::string entry = WithoutTrailingBackslash(folder);
    try {
      const std::optional<std::string> path = ReadEnvironmentValue("Path");
      if (path && path->find(entry) == std::string::npos) AppendEnvironmentValue("Path", entry);
    } catch (const std::exception& e) {
      LogLine("    → " + Fill(logform::kSearchPathError, {e.what()}));
    }
  }
}

// Read whole, however long: a Path cut short would make every entry look missing and be appended
// again on every run.
std::optional<std::string> ReadEnvironmentValue(std::string_view name) {
  return ExpandEnvironmentText(ReadRegistryString(HKEY_LOCAL_MACHINE, kEnvironmentKey, name));
}

void AppendEnvironmentValue(std::string_view name, std::string_view text) {
  const std::string raw = ReadRegistryString(HKEY_LOCAL_MACHINE, kEnvironmentKey, name);
  // Written back as an expandable string, so %...% references in Path keep working.
  WriteRegistryExpandString(HKEY_LOCAL_MACHINE, kEnvironmentKey, name, raw + ";" + std::string(text));
  BroadcastEnvironmentChange();
}

}  // namespace updater
