#include "platform/ReplacingFile.h"

#include <memory>

#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/Text.h"

#include <aclapi.h>

namespace updater {
namespace {

constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Room for ".<pid>-<tick>.yte" within the 255 characters of a file name.
constexpr size_t kLongestStemName = 255 - 24;

// The target path with its file name cut so that the temporary name stays a valid name: a target
// with a name of up to 255 characters must stay writable.
std::string TemporaryStem(const std::string& target) {
  const size_t slash = target.find_last_of('\\');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const std::wstring name = Wide(std::string_view(target).substr(nameAt));
  if (name.size() <= kLongestStemName) return target;
  return target.substr(0, nameAt) + Narrow(std::wstring_view(name).substr(0, kLongestStemName));
}

// What a file keeps when its content is replaced: its named streams, its own security and its
// attributes, carried onto the new content before the one-step move. (The system's replace call
// does this on Windows, but not in one step everywhere: a kill in its middle can leave no file.)
void CarrySettings(const std::wstring& from, const std::wstring& to, DWORD attributes) {
  WIN32_FIND_STREAM_DATA stream;
  FindHandle streams(::FindFirstStreamW(from.c_str(), FindStreamInfoStandard, &stream, 0));
  if (streams) {
    do {
      const std::wstring name = stream.cStreamName;  // ":name:$DATA"; the unnamed one is the content
      if (name == L"::$DATA") continue;
      std::string bytes;
      if (!ReadWholeFile(Narrow(from + name), bytes)) continue;
      UniqueHandle out(::CreateFileW((to + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      DWORD written = 0;
      if (out) ::WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } while (::FindNextStreamW(streams.Get(), &stream));
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (::GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    // Inherited entries come from the folder again; the file's own ones and its protection travel.
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                         ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                         : UNPROTECTED_DACL_SECURITY_INFORMATION);
    ::SetNamedSecurityInfoW(const_cast<wchar_t*>(to.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
  }
  ::SetFileAttributesW(to.c_str(), attributes & kCarriedAttributes);
}

}  // namespace

ReplacingFile::ReplacingFile(std::string target, Durability durability)
    : target_(std::move(target)), durability_(durability) {
  // Paths in the long form: the temporary name is about 20 characters longer than the target, and
  // every target the system could write directly must stay writable.
  // A run killed while writing this target left its temporary file here: it goes first. (The
  // start-of-run sweep covers only the Exe folder.)
  {
    const std::string stem = TemporaryStem(target_);
    const size_t slash = stem.find_last_of('\\');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    ForEachEntry(stem.substr(0, nameAt), stem.substr(nameAt) + ".*-*" + std::string(kTemporarySuffix),
                 [](const FolderEntry& e) { ::DeleteFileW(LongPath(e.path).c_str()); });
  }
  // CREATE_NEW with a fresh name per attempt: never opens someone else's file.
  const std::string stem = TemporaryStem(target_) + "." + std::to_string(::GetCurrentProcessId()) + "-";
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

uint64_t ReplacingFile::CopyFrom(const Reader& read, size_t block, const std::function<bool(uint64_t)>& progress) {
  std::unique_ptr<char[]> buffer(new char[block]);
  uint64_t total = 0;
  while (const size_t n = read(buffer.get(), block)) {
    if (!Write(buffer.get(), n)) throw CannotWrite(temp_, ::GetLastError());
    total += n;
    if (progress && !progress(total)) break;
  }
  return total;
}

bool ReplacingFile::Commit() {
  if (!created_ || committed_) return committed_;
  if (file_) {
    if (durability_ == Durability::Flushed && !::FlushFileBuffers(file_.Get())) return false;
    file_.Reset();
  }
  // May be called again after a failed move (a holder of the target was ended meanwhile).
  const std::wstring temp = LongPath(temp_), target = LongPath(target_);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  bool replaced = false;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    replaced = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::SetLastError(ERROR_ACCESS_DENIED);  // a folder is never replaced by a file
  } else {
    CarrySettings(target, temp, attributes);
    replaced = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!replaced) return false;
  committed_ = true;
  return true;
}

bool PlainCopy(std::string_view source, std::string_view target) {
  if (source == target) return false;
  std::unique_ptr<InputFile> in;
  try {
    in = std::make_unique<InputFile>(source);
  } catch (const OsError&) {
    return false;
  }
  // Another spelling of the same file would be truncated by the copy.
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  UniqueHandle existing(::CreateFileW(LongPath(target).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (existing && ::GetFileInformationByHandle(in->Handle(), &a) && ::GetFileInformationByHandle(existing.Get(), &b) &&
      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
      a.nFileIndexLow == b.nFileIndexLow)
    return false;
  existing.Reset();

  ReplacingFile out{std::string(target)};
  if (!out.IsOpen()) return false;
  try {
    out.CopyFrom([&](void* data, size_t size) { return in->Read(data, size); }, 3073);
  } catch (const OsError&) {
    return false;  // the plain copy answers false; its caller records the failure
  }
  // The date travels as a local DOS date-time, so it lands on the even second.
  FILETIME written{}, local{};
  WORD dosDate = 0, dosTime = 0;
  if (::GetFileTime(in->Handle(), nullptr, nullptr, &written) && ::FileTimeToLocalFileTime(&written, &local) &&
      ::FileTimeToDosDateTime(&local, &dosDate, &dosTime) && ::DosDateTimeToFileTime(dosDate, dosTime, &local) &&
      ::LocalFileTimeToFileTime(&local, &written))
    ::SetFileTime(out.Handle(), nullptr, nullptr, &written);
  if (!out.Commit()) return false;
  const DWORD attributes = ::GetFileAttributesW(LongPath(source).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(LongPath(target).c_str(), attributes);
  return true;
}

}  // namespace updater
