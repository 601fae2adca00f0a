#include "platform/Settings.h"

#include <vector>

#include "platform/Text.h"

namespace updater {

std::string ReadRegistryString(HKEY root, std::string_view subKey, std::string_view name, REGSAM view) {
  RegKey key;
  if (::RegOpenKeyExW(root, Wide(subKey).c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return {};
  const std::wstring valueName = Wide(name);
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
    return {};
  return Narrow(buf.data());
}

std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view fallback) {
  const std::wstring f = Wide(file), s = Wide(section), k = Wide(key), d = Wide(fallback);
  // The call answers size - 1 when the value did not fit: grow until it does.
  for (DWORD size = 512;; size *= 2) {
    std::wstring buf(size, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(), size, f.c_str());
    if (n + 1 < size || size >= (1u << 20)) return Narrow(std::wstring_view(buf.data(), n));
  }
}

void WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
  ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(), Wide(file).c_str());
}

}  // namespace updater
