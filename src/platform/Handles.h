#pragma once
// Owners of Win32 handles: each closes its handle exactly once, when it goes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <utility>

namespace updater {

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

}  // namespace updater
