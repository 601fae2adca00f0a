#include "env/Housekeeping.h"

#include <array>
#include <charconv>

#include "core/ClientFolders.h"
#include "core/LogFormat.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/ServiceCalls.h"
#include "env/Termination.h"
#include "platform/FileSystem.h"
#include "platform/ReplacingFile.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr std::array<const char*, 4> kStartOfRunProcesses = {"TXOrvex.exe", "Halcyra.exe", "Truvial.exe", "Cvl.Sentra.Main.exe"};
constexpr int kKeepWindow = 30;
constexpr wchar_t kEnvironmentKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::string RemoveAll(std::string text, std::string_view what) {
  for (;;) {
    const std::string lower = ToLowerAscii(text);
    const auto at = lower.find(ToLowerAscii(what));
    if (at == std::string::npos) return Trim(text);
    text.erase(at, what.size());
    text = Trim(text);
  }
}

}  // namespace

void StopStartOfRunProcesses(RunState& run) {
  LogLine("실행초기 실행 프로세스 확인/종료");
  StringList names;
  for (const char* name : kStartOfRunProcesses) {
    LogLine(std::string("    종료대상 프로세스(") + name + ")");
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
      if (ForceDelete(path)) LogLine("[임시파일삭제] " + path);
      else LogLine("[임시파일삭제실패] " + path + "(" + SystemErrorText(::GetLastError()) + ")");
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
  for (const std::string& path : ListFiles(FennixUpdateFolder(tool08), prefix + "*.exe", false)) {
    const std::string name = FileNamePart(path);
    if (name.size() <= prefix.size() + 4) continue;
    const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    int64_t n = 0;
    const auto [e, c] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (c != std::errc() || e != number.data() + number.size() || n < INT32_MIN || n > INT32_MAX) continue;
    if (n < runVersion - kKeepWindow && ::DeleteFileW(Wide(path).c_str())) {
      LogLine("[오래된 툴 파일 삭제] " + path);
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
  ::MoveFileW(Wide(path).c_str(), Wide(renamed).c_str());
  LogLine("[프로세스종료 실패파일 파일명 변경(" + renamed + ")]", true);
  return renamed;
}

bool CaptureBusyFile(std::string_view errorMessage, StringList& busyFiles) {
  try {
    std::string rest(errorMessage);
    for (std::string_view part : {std::string_view("Cannot create file"),
                                  std::string_view("다른 프로세스가 파일을 사용 중이기 때문에 프로세스가 액세스 할 수 없습니다"),
                                  std::string_view("\"."), std::string_view("\"")})
      rest = RemoveAll(rest, part);
    // The system's text may be another one (another reason, another language): the quoted path.
    if (!FileExists(rest)) {
      const auto open = errorMessage.find('"');
      const auto close = open == std::string_view::npos ? open : errorMessage.find('"', open + 1);
      rest = close == std::string_view::npos ? std::string{} : std::string(errorMessage.substr(open + 1, close - open - 1));
    }
    if (rest.empty() || !FileExists(rest)) return false;
    busyFiles.AddUnique(rest);
    return true;
  } catch (...) {
    return false;
  }
}

void RemoveFolderTree(std::string_view folder) { DeleteTree(folder, false); }

void AddSearchPathEntries() {
  for (const std::string& folder : {CommLibFolder(), ExeFolder(), ToolFolder()}) {
    const std::string entry = WithoutTrailingBackslash(folder);
    std::string path;
    if (ReadEnvironmentValue("Path", path) && path.find(entry) == std::string::npos) AppendEnvironmentValue("Path", entry);
  }
}

// Read whole, however long: a Path cut short would make every entry look missing and be appended
// again on every run.
bool ReadEnvironmentValue(std::string_view name, std::string& value) {
  RegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  const std::wstring raw = Wide(ReadRegistryString(HKEY_LOCAL_MACHINE, Narrow(kEnvironmentKey), name));
  std::wstring expanded(::ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0), L'\0');
  const DWORD n = expanded.empty() ? 0 : ::ExpandEnvironmentStringsW(raw.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  if (n == 0 || n > expanded.size()) return false;
  expanded.resize(n - 1);  // without its terminating zero
  value = Narrow(expanded);
  return true;
}

bool AppendEnvironmentValue(std::string_view name, std::string_view text) {
  RegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS) return false;
  const std::string raw = ReadRegistryString(HKEY_LOCAL_MACHINE, Narrow(kEnvironmentKey), name);
  const std::wstring value = Wide(raw + ";" + std::string(text));
  // Written back as an expandable string, so %...% references in Path keep working.
  ::RegSetValueExW(key.Get(), Wide(name).c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
  return true;
}

std::vector<std::string> ListFiles(std::string_view path, std::string_view mask, bool recurse) {
  FolderAndName fn;
  std::vector<std::string> out;
  if (SplitAtLastBackslash(path, fn)) ListFilesInto(fn.folder, mask, {.recurse = recurse}, out);
  return out;
}

void ListFilesRecursive(std::string_view folder, std::string_view mask, std::vector<std::string>& list, bool recurse) {
  ListFilesInto(folder, mask, {.recurse = recurse, .enterHidden = false}, list);
}

std::vector<std::string> ListFilesExcept(std::string_view path, std::string_view mask, bool recurse) {
  std::vector<std::string> out = ListFiles(path, mask, recurse);
  const std::string except = FileNamePart(path);
  std::erase_if(out, [&](const std::string& p) { return FileNamePart(p) == except; });
  return out;
}

}  // namespace updater
