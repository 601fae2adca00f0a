#pragma once
// A DLL of another product (the update service agent, the constants DLL, the crypto DLL), loaded
// by path or name and freed with its owner; its exports are taken by name.
#include <string>
#include <string_view>

#include "platform/Handles.h"

namespace updater {

class ProductDll {
 public:
  ProductDll() = default;
  // Loads path (a bare name goes through the system's search order); false with LoadError() set
  // when it does not load. A DLL already held is freed first.
  bool Load(std::string_view path);
  bool Loaded() const { return static_cast<bool>(library_); }
  explicit operator bool() const { return Loaded(); }
  DWORD LoadError() const { return loadError_; }
  // The export of that name as the function type F; null when the DLL has none.
  template <typename F>
  F Export(const char* name) const {
    return reinterpret_cast<F>(ExportAddress(name));
  }

 private:
  void* ExportAddress(const char* name) const;
  Library library_;
  DWORD loadError_ = 0;
};

}  // namespace updater
