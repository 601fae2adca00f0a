#include "platform/VersionResource.h"

#include "platform/Text.h"

#include <windows.h>

namespace updater {

VersionResource::VersionResource(std::string_view path) {
  const std::wstring wpath = Wide(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(wpath.c_str(), &ignored);
  if (size == 0) return;
  info_.resize(size);
  if (!::GetFileVersionInfoW(wpath.c_str(), 0, size, info_.data())) info_.clear();
}

std::vector<std::pair<uint16_t, uint16_t>> VersionResource::Translations() const {
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  if (info_.empty()) return translations;
  struct Translation {
    WORD language, codePage;
  };
  Translation* table = nullptr;
  UINT bytes = 0;
  if (!::VerQueryValueW(info_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&table), &bytes) || !table)
    return translations;
  for (UINT i = 0; i < bytes / sizeof(Translation); ++i) translations.emplace_back(table[i].language, table[i].codePage);
  return translations;
}

std::optional<std::string> VersionResource::String(const std::string& block, std::string_view name) const {
  if (info_.empty()) return std::nullopt;
  const std::string query = "\\StringFileInfo\\" + block + "\\" + std::string(name);
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(info_.data(), Wide(query).c_str(), reinterpret_cast<void**>(&value), &length) || !value) return std::nullopt;
  return Narrow(std::wstring_view(value, length > 0 && value[length - 1] == L'\0' ? length - 1 : length));
}

std::optional<std::pair<uint32_t, uint32_t>> VersionResource::FixedFileVersion() const {
  if (info_.empty()) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT bytes = 0;
  if (!::VerQueryValueW(info_.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes) || !fixed || bytes < sizeof(*fixed))
    return std::nullopt;
  return std::make_pair(static_cast<uint32_t>(fixed->dwFileVersionMS), static_cast<uint32_t>(fixed->dwFileVersionLS));
}

}  // namespace updater
