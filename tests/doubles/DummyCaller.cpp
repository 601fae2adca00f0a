// Stands in for the client program that started the update: records how it was started again.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path);
  file.resize(file.rfind(L'\\') + 1);
  file += L"caller.txt";
  HANDLE h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  const wchar_t* line = ::GetCommandLineW();
  DWORD written = 0;
  ::WriteFile(h, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
  ::WriteFile(h, L"\n", sizeof(wchar_t), &written, nullptr);
  ::CloseHandle(h);
  return 0;
}
