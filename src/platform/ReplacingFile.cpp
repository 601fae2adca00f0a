#include "platform/ReplacingFile.h"

namespace updater {

ReplacingFile::ReplacingFile(std::string target, Durability durability)
    : target_(std::move(target)), durability_(durability) {
  // Paths in the long form: the temporary name is about 20 characters longer than the target, and
  // every target the system could write directly must stay writable.
  // A run killed while writing this target left its temporary file here: it goes first. (The
  // start-of-run sweep covers only the Exe folder.)
  {
    const size_t slash = target_.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string{} : target_.substr(0, slash + 1);
    WIN32_FIND_DATAW fd;
    FindHandle stale(::FindFirstFileW(LongPath(target_ + ".*-*" + std::string(kTemporarySuffix)).c_str(), &fd));
    if (stale)
      do ::DeleteFileW(LongPath(folder + Narrow(fd.cFileName)).c_str());
      while (::FindNextFileW(stale.Get(), &fd));
  }
  // CREATE_NEW with a fresh name per attempt: never opens someone else's file.
  const std::string stem = target_ + "." + std::to_string(::GetCurrentProcessId()) + "-";
  for (DWORD attempt = 0; attempt < 100; ++attempt) {
    temp_ = stem + std::to_string(::GetTickCount() + attempt) + std::string(kTemporarySuffix);
    file_.Reset(::CreateFileW(LongPath(temp_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_) {
      created_ = true;
      openError_ = 0;
      return;
    }
    openError_ = ::GetLastError();
    if (openError_ != ERROR_FILE_EXISTS && openError_ != ERROR_ALREADY_EXISTS) return;
  }
}

ReplacingFile::~ReplacingFile() {
  if (!created_ || committed_) return;
  file_.Reset();
  ::DeleteFileW(LongPath(temp_).c_str());
}

bool ReplacingFile::Write(const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!::WriteFile(file_.Get(), p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

bool ReplacingFile::Commit() {
  if (!created_ || committed_) return committed_;
  if (file_) {
    if (durability_ == Durability::Flushed && !::FlushFileBuffers(file_.Get())) return false;
    file_.Reset();
  }
  // May be called again after a failed move (a holder of the target was ended meanwhile).
  const std::wstring temp = LongPath(temp_), target = LongPath(target_);
  // An existing target is replaced by the system's replace call, which carries its security,
  // attributes and streams over to the new content; a new file is moved into place.
  const bool replaced = ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
                            ? ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                            : ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  if (!replaced) return false;
  committed_ = true;
  return true;
}

}  // namespace updater
