#include "platform/ProductDll.h"

#include "platform/Text.h"

namespace updater {

bool ProductDll::Load(std::string_view path) {
  library_.Reset(::LoadLibraryW(Wide(path).c_str()));
  loadError_ = library_ ? 0 : ::GetLastError();
  return Loaded();
}

void* ProductDll::ExportAddress(const char* name) const {
  return library_ ? reinterpret_cast<void*>(::GetProcAddress(library_.Get(), name)) : nullptr;
}

}  // namespace updater
