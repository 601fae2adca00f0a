#include "platform/Win.h"

#include <vector>

#include "platform/Utf.h"

namespace updater {

std::wstring Wide(std::string_view utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string ToAnsi(std::string_view utf8) {
  const std::wstring w = Wide(utf8);
  if (w.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buf = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text = n && buf ? Narrow(std::wstring_view(buf, n)) : std::string{};
  if (buf) ::LocalFree(buf);
  return Trim(text);  // blanks and line breaks only; the closing dot is part of the text
}

NumberFormat SystemNumberFormat() {
  NumberFormat fmt;
  wchar_t buf[8];
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, 8) > 0) fmt.thousands = Narrow(buf);
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 0) fmt.decimal = Narrow(buf);
  return fmt;
}

std::wstring LongPath(std::string_view path) {
  const std::wstring w = Wide(path);
  if (w.empty() || w.rfind(L"\\\\?\\", 0) == 0) return w;
  std::wstring full(::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD n = full.empty() ? 0 : ::GetFullPathNameW(w.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return w;
  full.resize(n);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return w;
}

namespace {
DWORD Attributes(std::string_view path) { return ::GetFileAttributesW(Wide(path).c_str()); }
}  // namespace

bool FileExists(std::string_view path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(std::string_view path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool EntryExists(std::string_view path) {
  WIN32_FIND_DATAW fd;
  FindHandle h(::FindFirstFileExW(Wide(path).c_str(), FindExInfoStandard, &fd, FindExSearchLimitToDirectories, nullptr, 0));
  return static_cast<bool>(h);
}

bool ReadWholeFile(std::string_view path, std::string& bytes, size_t limit) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr));
  bytes.clear();
  if (!file) return false;
  char block[65536];
  DWORD got = 0;
  while (bytes.size() < limit && ::ReadFile(file.Get(), block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
  if (bytes.size() > limit) bytes.resize(limit);
  return true;
}

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

std::string OwnExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) { buf.resize(n); break; }
    buf.resize(buf.size() * 2);
  }
  return Narrow(buf);
}

}  // namespace updater
