#include "platform/FileSystem.h"

#include <algorithm>

#include "platform/OsError.h"
#include "platform/Text.h"

#include <shlobj.h>

namespace updater {
namespace {

std::string WithBackslash(std::string_view folder) {
  std::string f(folder);
  if (!f.empty() && f.back() != '\\') f.push_back('\\');
  return f;
}

}  // namespace

std::wstring LongPath(std::string_view path) {
  const std::wstring w = Wide(path);
  if (w.empty() || w.rfind(L"\\\\?\\", 0) == 0) return w;
  std::wstring full(::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD n = full.empty() ? 0 : ::GetFullPathNameW(w.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return w;
  full.resize(n);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return w;
}

namespace {
DWORD Attributes(std::string_view path) { return ::GetFileAttributesW(Wide(path).c_str()); }
}  // namespace

bool FileExists(std::string_view path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(std::string_view path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool EntryExists(std::string_view path) {
  WIN32_FIND_DATAW fd;
  FindHandle h(::FindFirstFileExW(Wide(path).c_str(), FindExInfoStandard, &fd, FindExSearchLimitToDirectories, nullptr, 0));
  return static_cast<bool>(h);
}

bool ReadWholeFile(std::string_view path, std::string& bytes, size_t limit) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr));
  bytes.clear();
  if (!file) return false;
  char block[65536];
  DWORD got = 0;
  while (bytes.size() < limit && ::ReadFile(file.Get(), block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
  if (bytes.size() > limit) bytes.resize(limit);
  return true;
}

std::string OwnExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) { buf.resize(n); break; }
    buf.resize(buf.size() * 2);
  }
  return Narrow(buf);
}


void ForEachEntry(std::string_view folderText, std::string_view mask, const std::function<void(const FolderEntry&)>& visit) {
  const std::string folder = WithBackslash(folderText);
  WIN32_FIND_DATAW fd;
  FindHandle find(::FindFirstFileW(LongPath(folder + std::string(mask)).c_str(), &fd));
  if (!find) return;
  do {
    FolderEntry e{Narrow(fd.cFileName), {}, fd.dwFileAttributes};
    if (e.name == "." || e.name == "..") continue;
    e.path = folder + e.name;
    visit(e);
  } while (::FindNextFileW(find.Get(), &fd));
}

void ListFilesInto(std::string_view folderText, std::string_view mask, const ListOptions& options, std::vector<std::string>& out) {
  const std::string folder = WithBackslash(folderText);
  ForEachEntry(folder, mask, [&](const FolderEntry& e) {
    if (!e.IsFolder()) out.push_back(e.path);
  });
  if (!options.recurse) return;
  ForEachEntry(folder, "*", [&](const FolderEntry& e) {
    const bool hidden = e.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (e.IsFolder() && !e.IsLink() && (options.enterHidden || !hidden)) ListFilesInto(e.path + "\\", mask, options, out);
  });
}

InputFile::InputFile(std::string_view path) : path_(path) {
  file_.Reset(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file_ || !::GetFileSizeEx(file_.Get(), &size)) throw CannotOpen(path_, ::GetLastError());
  size_ = static_cast<uint64_t>(size.QuadPart);
}

size_t InputFile::Read(void* data, size_t n) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
  if (!::ReadFile(file_.Get(), data, want, &got, nullptr)) throw CannotRead(path_, ::GetLastError());
  return got;
}

int64_t FileSize(std::string_view path) {
  const std::wstring wpath = Wide(path);
  if (::GetFileAttributesW(wpath.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
  UniqueHandle file(::CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size)) return -1;
  return size.QuadPart;
}

bool RenameFile(std::string_view from, std::string_view to) { return ::MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != 0; }

bool CreateOneFolder(std::string_view path) { return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }

bool AppendToFile(std::string_view path, std::string_view bytes, bool existing) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, existing ? OPEN_EXISTING : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
}

std::string ProgramFilesX86Folder() {
  wchar_t buf[MAX_PATH] = {};
  return SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, buf)) ? Narrow(buf) : std::string();
}

bool DeleteFileIfAny(std::string_view path) { return ::DeleteFileW(Wide(path).c_str()) != 0; }

bool RemoveEmptyFolder(std::string_view path) { return ::RemoveDirectoryW(Wide(path).c_str()) != 0; }

DWORD LastOsError() { return ::GetLastError(); }

bool ForceDelete(std::string_view path) {
  const std::wstring w = LongPath(path);
  const DWORD attributes = ::GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  ::SetFileAttributesW(w.c_str(), (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
  // A junction or a link to a folder is a directory entry: removing it leaves its target alone.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ::RemoveDirectoryW(w.c_str()) != 0;
  return ::DeleteFileW(w.c_str()) != 0;
}

void DeleteTree(std::string_view folderText, bool keepFolder, const std::function<bool(const FolderEntry&)>& skip) {
  const std::string folder = WithBackslash(folderText);
  ForEachEntry(folder, "*", [&](const FolderEntry& e) {
    if (skip && skip(e)) return;
    if (e.IsFolder() && !e.IsLink()) DeleteTree(e.path, false, skip);
    else ForceDelete(e.path);
  });
  if (!keepFolder) ::RemoveDirectoryW(LongPath(folder).c_str());
}

}  // namespace updater
