#include "platform/FileSystem.h"

namespace updater {

void ForEachEntry(std::string_view folderText, std::string_view mask, const std::function<void(const FolderEntry&)>& visit) {
  const std::string folder = WithTrailingBackslash(folderText, false);
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
  const std::string folder = WithTrailingBackslash(folderText, false);
  ForEachEntry(folder, mask, [&](const FolderEntry& e) {
    if (!e.IsFolder()) out.push_back(e.path);
  });
  if (!options.recurse) return;
  ForEachEntry(folder, "*", [&](const FolderEntry& e) {
    const bool hidden = e.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (e.IsFolder() && !e.IsLink() && (options.enterHidden || !hidden)) ListFilesInto(e.path + "\\", mask, options, out);
  });
}

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
  const std::string folder = WithTrailingBackslash(folderText, false);
  ForEachEntry(folder, "*", [&](const FolderEntry& e) {
    if (skip && skip(e)) return;
    if (e.IsFolder() && !e.IsLink()) DeleteTree(e.path, false, skip);
    else ForceDelete(e.path);
  });
  if (!keepFolder) ::RemoveDirectoryW(LongPath(folder).c_str());
}

}  // namespace updater
