#include "env/Housekeeping.h"

#include <array>
#include <charconv>

#include "app/LogFormat.h"
#include "app/RunLog.h"
#include "env/ClientFolders.h"
#include "env/PathText.h"
#include "env/ServiceCalls.h"
#include "package/RunState.h"
#include "package/Termination.h"
#include "platform/ReplacingFile.h"
#include "platform/Win.h"

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

void ListInto(const std::string& folder, std::string_view mask, bool recurse, std::vector<std::string>& out,
              bool enterHidden = true) {
  WIN32_FIND_DATAW fd;
  {
    FindHandle find(::FindFirstFileW(Wide(folder + std::string(mask)).c_str(), &fd));
    if (find)
      do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(folder + Narrow(fd.cFileName));
      while (::FindNextFileW(find.Get(), &fd));
  }
  if (!recurse) return;
  FindHandle dirs(::FindFirstFileW(Wide(folder + "*").c_str(), &fd));
  if (!dirs) return;
  do {
    const std::string name = Narrow(fd.cFileName);
    const bool hidden = fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != ".." && (enterHidden || !hidden))
      ListInto(folder + name + "\\", mask, recurse, out, enterHidden);
  } while (::FindNextFileW(dirs.Get(), &fd));
}

}  // namespace

void StopStartOfRunProcesses() {
  LogLine("실행초기 실행 프로세스 확인/종료");
  StringList names;
  for (const char* name : kStartOfRunProcesses) {
    LogLine(std::string("    종료대상 프로세스(") + name + ")");
    names.Add(ToLowerAscii(name));
  }
  TerminateProcessesByName(names, false, true);
}

void StartOfRunCleanup(bool tool08) {
  SweepTemporaryFiles(ExeFolder());
  DeleteOldTools(tool08);
}

void SweepTemporaryFiles(std::string_view folderText) {
  const std::string folder = WithTrailingBackslash(folderText);
  std::vector<std::string> matches;
  ListInto(folder, "*" + std::string(kTemporarySuffix), false, matches);
  for (const std::string& path : matches) {
    try {
      ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (::DeleteFileW(Wide(path).c_str())) LogLine("[임시파일삭제] " + path);
      else LogLine("[임시파일삭제실패] " + path + "(" + SystemErrorText(::GetLastError()) + ")");
    } catch (const std::exception& e) {
      const std::string line = "[임시파일삭제실패(예외발생)] " + path + " (" + e.what() + ")";
      LogLine(line);
      Run().FailureList.Add(line);
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

std::string RenameBusyFile(std::string_view path) {
  FolderAndName fn;
  SplitAtLastBackslash(path, fn);
  StemAndExtension se;
  const std::string stem = SplitAtLastDot(fn.name, se) ? se.stem : fn.name;
  const std::string renamed = WithTrailingBackslash(fn.folder) + stem + "_" + FileTimeStamp(SystemClock().Now()) + std::string(kTemporarySuffix);
  ::MoveFileW(Wide(path).c_str(), Wide(renamed).c_str());
  LogLine("[프로세스종료 실패파일 파일명 변경(" + renamed + ")]", true);
  return renamed;
}

bool CaptureBusyFile(std::string_view errorMessage) {
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
    Run().BusyFileList.AddUnique(rest);
    return true;
  } catch (...) {
    return false;
  }
}

void RemoveFolderTree(std::string_view folderText) {
  const std::string folder = WithoutTrailingBackslash(folderText);
  WIN32_FIND_DATAW fd;
  {
    FindHandle find(::FindFirstFileW(Wide(folder + "\\*").c_str(), &fd));
    if (find) {
      do {
        const std::string name = Narrow(fd.cFileName);
        const std::string path = folder + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          if (name != "." && name != ".." && FolderExists(path)) RemoveFolderTree(path);
        } else if (FileExists(path)) {
          ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(Wide(path).c_str());
        }
      } while (::FindNextFileW(find.Get(), &fd));
    }
  }
  if (FolderExists(folder)) ::RemoveDirectoryW(Wide(folder).c_str());
}

void AddSearchPathEntries() {
  for (const std::string& folder : {CommLibFolder(), ExeFolder(), ToolFolder()}) {
    const std::string entry = WithoutTrailingBackslash(folder);
    std::string path;
    if (ReadEnvironmentValue("Path", path) && path.find(entry) == std::string::npos) AppendEnvironmentValue("Path", entry);
  }
}

bool ReadEnvironmentValue(std::string_view name, std::string& value) {
  RegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  const std::string raw = ReadRegistryString(HKEY_LOCAL_MACHINE, Narrow(kEnvironmentKey), name);
  wchar_t expanded[2048] = {};
  ::ExpandEnvironmentStringsW(Wide(raw).c_str(), expanded, 2047);
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
  if (!SplitAtLastBackslash(path, fn)) return out;
  ListInto(fn.folder, mask, recurse, out);
  return out;
}

void ListFilesRecursive(std::string_view folder, std::string_view mask, std::vector<std::string>& list, bool recurse) {
  ListInto(WithTrailingBackslash(folder, false), mask, recurse, list, false);
}

std::vector<std::string> ListFilesExcept(std::string_view path, std::string_view mask, bool recurse) {
  std::vector<std::string> out = ListFiles(path, mask, recurse);
  const std::string except = FileNamePart(path);
  std::erase_if(out, [&](const std::string& p) { return FileNamePart(p) == except; });
  return out;
}

}  // namespace updater
