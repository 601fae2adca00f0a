#pragma once
// The one directory walker and the deletes built on it. A reparse point (junction, symbolic link)
// is never entered: a tree that holds one is deleted without reaching through it, and a walk
// cannot leave its folder or loop.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Handles.h"

namespace updater {

// The extended-length form ("\\\\?\\C:\\...", "\\\\?\\UNC\\server\\...") of a path, so that a path near
// MAX_PATH stays usable with a temporary suffix; a path that cannot be made absolute is unchanged.
std::wstring LongPath(std::string_view path);

bool FileExists(std::string_view path);    // an existing file, not a folder
bool FolderExists(std::string_view path);  // an existing folder
bool EntryExists(std::string_view path);   // any directory entry of exactly that name

// Reads a file whole (at most limit bytes) while others may read and write it; false when it
// cannot be opened.
bool ReadWholeFile(std::string_view path, std::string& bytes, size_t limit = SIZE_MAX);

// Path of the running executable.
std::string OwnExecutablePath();

struct FolderEntry {
  std::string name;  // as found, without folder
  std::string path;  // folder + name
  DWORD attributes = 0;
  bool IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
  bool IsLink() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }
};

// Every entry of folder (with trailing backslash) that matches mask, "." and ".." left out, in
// the order the file system returns them.
void ForEachEntry(std::string_view folder, std::string_view mask, const std::function<void(const FolderEntry&)>& visit);

struct ListOptions {
  bool recurse = false;
  bool enterHidden = true;  // sub-folders marked hidden or system
};
// Appends folder + name of every file (not folder) matching mask, then, with recurse, the same
// below each sub-folder, depth first. Links to folders are neither listed nor entered.
void ListFilesInto(std::string_view folder, std::string_view mask, const ListOptions& options, std::vector<std::string>& out);

// A file opened for reading while others may read it too.
class InputFile {
 public:
  explicit InputFile(std::string_view path);  // throws OsError (CannotOpen) when it cannot be opened
  uint64_t Size() const { return size_; }
  // Up to n bytes; 0 at the end. Throws OsError (CannotRead) on a failed read.
  size_t Read(void* data, size_t n);
  HANDLE Handle() const { return file_.Get(); }

 private:
  std::string path_;
  UniqueHandle file_;
  uint64_t size_ = 0;
};

// 0 when the file is missing, -1 when it exists but cannot be opened.
int64_t FileSize(std::string_view path);
// Renames or moves a file on its volume; true when it was moved.
bool RenameFile(std::string_view from, std::string_view to);

// Makes one folder whose parent exists; true when it was made.
bool CreateOneFolder(std::string_view path);
// Appends bytes to a file that others may read meanwhile: to the file as it is when existing is
// true (nothing when it has gone), else to a new file replacing any of that name. False when it
// cannot be opened.
bool AppendToFile(std::string_view path, std::string_view bytes, bool existing);
// The system's 32-bit program files folder; empty when the system does not say.
std::string ProgramFilesX86Folder();

// Deletes a file as it is; true when it was deleted (false too when there was none).
bool DeleteFileIfAny(std::string_view path);
// Removes a folder when it is empty; true when it was removed.
bool RemoveEmptyFolder(std::string_view path);
// The calling thread's last system error code.
DWORD LastOsError();

// Resets the attributes and deletes the file; a link is removed as a link. True when it is gone.
bool ForceDelete(std::string_view path);

// Deletes everything below folder, then folder itself unless keepFolder. skip leaves entries out
// (and keeps their folders). Failures are passed over.
void DeleteTree(std::string_view folder, bool keepFolder, const std::function<bool(const FolderEntry&)>& skip = {});

}  // namespace updater
