#pragma once
// Thin RAII wrappers over Win32 handles and the text conversions at the Win32 boundary.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "env/PathText.h"

namespace updater {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// Text in the ANSI code page (949 on a Korean PC), for files and the wire.
std::string ToAnsi(std::string_view utf8);
std::string FromAnsi(std::string_view bytes);
// The system's own message for an error code, trimmed of blanks and line breaks; empty when none.
std::string SystemErrorText(DWORD code);
NumberFormat SystemNumberFormat();

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;
  UniqueResource() = default;
  explicit UniqueResource(Type v) : v_(v) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& o) noexcept : v_(std::exchange(o.v_, Traits::Empty())) {}
  UniqueResource& operator=(UniqueResource&& o) noexcept {
    if (this != &o) { Reset(); v_ = std::exchange(o.v_, Traits::Empty()); }
    return *this;
  }
  ~UniqueResource() { Reset(); }
  Type Get() const { return v_; }
  explicit operator bool() const { return Traits::Valid(v_); }
  Type Release() { return std::exchange(v_, Traits::Empty()); }
  void Reset(Type v = Traits::Empty()) {
    if (Traits::Valid(v_)) Traits::Close(v_);
    v_ = v;
  }
  Type* Put() { Reset(); return &v_; }

 private:
  Type v_ = Traits::Empty();
};

struct HandleTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};
struct MutexTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::ReleaseMutex(h); ::CloseHandle(h); }
};

struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DestroyWindow(h); }
};
template <typename T>
struct GdiTraits {
  using Type = T;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using Window = UniqueResource<WindowTraits>;
using Font = UniqueResource<GdiTraits<HFONT>>;
using Bitmap = UniqueResource<GdiTraits<HBITMAP>>;
using FindHandle = UniqueResource<FindTraits>;
using RegKey = UniqueResource<RegKeyTraits>;
using Library = UniqueResource<LibraryTraits>;
using OwnedMutex = UniqueResource<MutexTraits>;

// The extended-length form ("\\?\C:\...", "\\?\UNC\server\...") of a path, so that a path near
// MAX_PATH stays usable with a temporary suffix; a path that cannot be made absolute is unchanged.
std::wstring LongPath(std::string_view path);

bool FileExists(std::string_view path);    // an existing file, not a folder
bool FolderExists(std::string_view path);  // an existing folder
bool EntryExists(std::string_view path);   // any directory entry of exactly that name

// Reads a file whole (at most limit bytes) while others may read and write it; false when it
// cannot be opened.
bool ReadWholeFile(std::string_view path, std::string& bytes, size_t limit = SIZE_MAX);

// Reads a string value; empty when the key or value is missing.
std::string ReadRegistryString(HKEY root, std::string_view subKey, std::string_view name, REGSAM view = 0);

// Path of the running executable.
std::string OwnExecutablePath();

}  // namespace updater
