#include "env/FileVersion.h"

#include <vector>

#include "core/VersionRules.h"
#include "platform/FileSystem.h"
#include "platform/OsError.h"
#include "platform/ReplacingFile.h"
#include "platform/Text.h"

namespace updater {
namespace {

std::vector<BYTE> ReadVersionInfo(std::string_view path) {
  const std::wstring wpath = Wide(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(wpath.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> info(size);
  if (!::GetFileVersionInfoW(wpath.c_str(), 0, size, info.data())) return {};
  return info;
}

}  // namespace

std::string VersionText(std::string_view path, int kind) {
  std::vector<BYTE> info = ReadVersionInfo(path);
  if (info.empty()) return std::string(kNoVersion);
  struct Translation { WORD language, codePage; };
  Translation* table = nullptr;
  UINT bytes = 0;
  if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&table), &bytes) || !table)
    return std::string(kNoVersion);
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  for (UINT i = 0; i < bytes / sizeof(Translation); ++i) translations.emplace_back(table[i].language, table[i].codePage);
  return SelectVersionText(
      translations, kind,
      [&](const std::string& block, std::string_view name) -> std::optional<std::string> {
        const std::string query = "\\StringFileInfo\\" + block + "\\" + std::string(name);
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(info.data(), Wide(query).c_str(), reinterpret_cast<void**>(&value), &length) || !value)
          return std::nullopt;
        return Narrow(std::wstring_view(value, length > 0 && value[length - 1] == L'\0' ? length - 1 : length));
      },
      [&] { return NumericVersion(path); });
}

std::string NumericVersion(std::string_view path) {
  std::vector<BYTE> info = ReadVersionInfo(path);
  if (info.empty()) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT bytes = 0;
  if (!::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes) || !fixed || bytes < sizeof(*fixed))
    return {};
  return NumericVersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

int64_t FileSize(std::string_view path) {
  const std::wstring wpath = Wide(path);
  if (::GetFileAttributesW(wpath.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
  UniqueHandle file(::CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size)) return -1;
  return size.QuadPart;
}

// The user's thousands separator and decimal sign.
NumberFormat SystemNumberFormat() {
  NumberFormat fmt;
  wchar_t buf[8];
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, 8) > 0) fmt.thousands = Narrow(buf);
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 0) fmt.decimal = Narrow(buf);
  return fmt;
}

std::string FileSizeText(int64_t bytes) { return SizeText(bytes, SystemNumberFormat()); }

bool PlainCopy(std::string_view source, std::string_view target) {
  if (source == target) return false;
  UniqueHandle in(::CreateFileW(LongPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!in) return false;
  // Another spelling of the same file would be truncated by the copy.
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  UniqueHandle existing(::CreateFileW(LongPath(target).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (existing && ::GetFileInformationByHandle(in.Get(), &a) && ::GetFileInformationByHandle(existing.Get(), &b) &&
      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
      a.nFileIndexLow == b.nFileIndexLow)
    return false;
  existing.Reset();

  ReplacingFile out{std::string(target)};
  if (!out.IsOpen()) return false;
  try {
    out.CopyFrom(
        [&](void* data, size_t size) -> size_t {
          DWORD got = 0;
          if (!::ReadFile(in.Get(), data, static_cast<DWORD>(size), &got, nullptr)) throw CannotRead(std::string(source), ::GetLastError());
          return got;
        },
        3073);
  } catch (const OsError&) {
    return false;  // the plain copy answers false; its caller records the failure
  }
  // The date travels as a local DOS date-time, so it lands on the even second.
  FILETIME written{}, local{};
  WORD dosDate = 0, dosTime = 0;
  if (::GetFileTime(in.Get(), nullptr, nullptr, &written) && ::FileTimeToLocalFileTime(&written, &local) &&
      ::FileTimeToDosDateTime(&local, &dosDate, &dosTime) && ::DosDateTimeToFileTime(dosDate, dosTime, &local) &&
      ::LocalFileTimeToFileTime(&local, &written))
    ::SetFileTime(out.Handle(), nullptr, nullptr, &written);
  if (!out.Commit()) return false;
  const DWORD attributes = ::GetFileAttributesW(LongPath(source).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(LongPath(target).c_str(), attributes);
  return true;
}

}  // namespace updater
