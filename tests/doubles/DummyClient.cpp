// Stands in for a client program: runs until terminated, optionally holding a file open without
// sharing or having a DLL loaded. Copied under the names the tests need.
//   dummy_client.exe [--hold FILE] [--load DLL] [--window TITLE] [--ready FILE]
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  HANDLE held = INVALID_HANDLE_VALUE;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--hold") {
      held = ::CreateFileW(argv[i + 1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (held == INVALID_HANDLE_VALUE) return 3;
    } else if (option == L"--load") {
      if (!::LoadLibraryW(argv[i + 1])) return 4;
    } else if (option == L"--window") {
      // A top-level window with that title (a database server's main window, say).
      ::CreateWindowExW(0, L"STATIC", argv[i + 1], WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    } else if (option == L"--ready") {
      // Tells the test that the file is held or the DLL loaded.
      HANDLE ready = ::CreateFileW(argv[i + 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      ::CloseHandle(ready);
    }
  }
  for (MSG msg; ::GetMessageW(&msg, nullptr, 0, 0) > 0;) ::DispatchMessageW(&msg);
  return 0;
}
