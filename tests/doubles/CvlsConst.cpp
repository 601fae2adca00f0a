// Stands in for the client product's constants DLL. Fills the two login records from
// "CVLSConst.ini" beside the DLL: section [GetALLDBConstData] or [GetPgALLDBConstData], keys User0,
// Password0, User1, Password1 (plain texts, enciphered here as the tool deciphers them), and
// optionally <key>Pad.
// Built once with the exports and once without them (CVLSConst_noexports.dll).
#include <windows.h>

#include <cstdint>
#include <string>

#include "db/LoginCipher.h"

namespace {

HMODULE self = nullptr;

std::wstring IniPath() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring w(path);
  return w.substr(0, w.rfind(L'\\') + 1) + L"CVLSConst.ini";
}

void Put(unsigned char* field, const wchar_t* section, const wchar_t* key) {
  wchar_t value[256] = {};
  ::GetPrivateProfileStringW(section, key, L"", value, 256, IniPath().c_str());
  char ansi[512] = {};
  ::WideCharToMultiByte(CP_ACP, 0, value, -1, ansi, sizeof ansi, nullptr, nullptr);  // as the client product: the system code page
  const std::string cipher = updater::EncipherLoginText(ansi);
  const size_t n = cipher.size() < 255 ? cipher.size() : 255;
  // "<key>Pad" makes the length byte larger than the text: zero bytes follow it.
  const UINT pad = ::GetPrivateProfileIntW(section, (std::wstring(key) + L"Pad").c_str(), 0, IniPath().c_str());
  field[0] = static_cast<unsigned char>(n + pad > 255 ? 255 : n + pad);
  for (size_t i = 0; i < n; ++i) field[1 + i] = static_cast<unsigned char>(cipher[i]);
}

void Fill(unsigned char* records, int32_t highest, const wchar_t* section) {
  // [Fault] WriteToAddressZero=1: the export faults, as a broken DLL of the client product would.
  if (::GetPrivateProfileIntW(L"Fault", L"WriteToAddressZero", 0, IniPath().c_str())) {
    static volatile uintptr_t zero = 0;  // read at run time: the store really goes to address 0
    *reinterpret_cast<volatile int*>(zero) = 1;
  }
  for (int32_t i = 0; i <= highest && i < 2; ++i) {
    unsigned char* record = records + 512 * i;
    const std::wstring n = std::to_wstring(i);
    Put(record, section, (L"User" + n).c_str());
    Put(record + 256, section, (L"Password" + n).c_str());
  }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

#ifndef CVLSCONST_NO_EXPORTS
extern "C" __declspec(dllexport) void __stdcall GetALLDBConstData(unsigned char* records, int32_t highest) {
  Fill(records, highest, L"GetALLDBConstData");
}
extern "C" __declspec(dllexport) void __stdcall GetPgALLDBConstData(unsigned char* records, int32_t highest) {
  Fill(records, highest, L"GetPgALLDBConstData");
}
#endif
