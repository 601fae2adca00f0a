#include "platform/Settings.h"

#include "platform/Text.h"

namespace updater {

std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view fallback) {
  const std::wstring f = Wide(file), s = Wide(section), k = Wide(key), d = Wide(fallback);
  // The call answers size - 1 when the value did not fit: grow until it does.
  for (DWORD size = 512;; size *= 2) {
    std::wstring buf(size, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(), size, f.c_str());
    if (n + 1 < size || size >= (1u << 20)) return Narrow(std::wstring_view(buf.data(), n));
  }
}

int ReadIniInteger(std::string_view file, std::string_view section, std::string_view key, int fallback) {
  return static_cast<int>(::GetPrivateProfileIntW(Wide(section).c_str(), Wide(key).c_str(), fallback, Wide(file).c_str()));
}

bool WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
  return ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(), Wide(file).c_str());
}

}  // namespace updater
