#include "platform/Registry.h"

#include "platform/OsError.h"
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

std::vector<std::string> RegistrySubKeys(HKEY root, std::string_view subKey, REGSAM view) {
  std::vector<std::string> names;
  RegKey key;
  if (::RegOpenKeyExW(root, Wide(subKey).c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    const LONG r = ::RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_SUCCESS) names.push_back(Narrow(std::wstring_view(name, length)));
  }
  return names;
}

void EnsureRegistryKey(HKEY root, std::string_view subKey) {
  RegKey key;
  ::RegCreateKeyExW(root, Wide(subKey).c_str(), 0, nullptr, 0, KEY_READ, nullptr, key.Put(), nullptr);
}

bool WriteStringToExistingKey(HKEY root, std::string_view subKey, std::string_view name, std::string_view value) {
  RegKey key;
  if (::RegOpenKeyExW(root, Wide(subKey).c_str(), 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) return false;
  const std::wstring w = Wide(value);
  return ::RegSetValueExW(key.Get(), Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                          static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void WriteRegistryExpandString(HKEY root, std::string_view subKey, std::string_view name, std::string_view value) {
  RegKey key;
  const std::string where = std::string(subKey) + "\\" + std::string(name);
  if (const LONG r = ::RegOpenKeyExW(root, Wide(subKey).c_str(), 0, KEY_READ | KEY_WRITE, key.Put()); r != ERROR_SUCCESS)
    throw OsError("RegOpenKeyExW", where, static_cast<DWORD>(r), "Cannot open registry key \"" + std::string(subKey) + "\". " + SystemErrorText(static_cast<DWORD>(r)));
  const std::wstring w = Wide(value);
  if (const LONG r = ::RegSetValueExW(key.Get(), Wide(name).c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                                      static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
      r != ERROR_SUCCESS)
    throw OsError("RegSetValueExW", where, static_cast<DWORD>(r), "Cannot write registry value \"" + where + "\". " + SystemErrorText(static_cast<DWORD>(r)));
}

}  // namespace updater
