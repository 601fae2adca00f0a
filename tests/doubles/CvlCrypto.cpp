// Stands in for the client product's crypto DLL: CVLDecryptAES256(key, iv, input, output) deciphers
// the base64 of an AES-256-CBC cipher text with the system's crypto provider and writes the plain
// text, zero-terminated, into the 4097-byte output. Answers false when it cannot.
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

extern "C" __declspec(dllexport) bool __stdcall CVLDecryptAES256(const char* key, const char* iv, const char* input, char* output) {
  if (!key || !iv || !input || !output || std::strlen(key) != 32 || std::strlen(iv) != 16) return false;
  DWORD size = 0;
  if (!::CryptStringToBinaryA(input, 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) return false;
  std::vector<BYTE> data(size);
  if (!::CryptStringToBinaryA(input, 0, CRYPT_STRING_BASE64, data.data(), &size, nullptr, nullptr)) return false;
  HCRYPTPROV provider = 0;
  if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
  struct {
    BLOBHEADER header;
    DWORD length;
    BYTE key[32];
  } blob{{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_AES_256}, 32, {}};
  std::memcpy(blob.key, key, 32);
  HCRYPTKEY aes = 0;
  bool ok = ::CryptImportKey(provider, reinterpret_cast<BYTE*>(&blob), sizeof blob, 0, 0, &aes);
  if (ok) ok = ::CryptSetKeyParam(aes, KP_IV, reinterpret_cast<const BYTE*>(iv), 0);
  DWORD length = size;
  if (ok) ok = ::CryptDecrypt(aes, 0, TRUE, 0, data.data(), &length) && length < 4097;
  if (ok) {
    std::memcpy(output, data.data(), length);
    output[length] = '\0';
  }
  if (aes) ::CryptDestroyKey(aes);
  ::CryptReleaseContext(provider, 0);
  return ok;
}
