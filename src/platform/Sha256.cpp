#include "platform/Sha256.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace updater {
namespace {

std::string Hex(const unsigned char* d, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += digits[d[i] >> 4];
    out += digits[d[i] & 15];
  }
  return out;
}

}  // namespace

#ifdef _WIN32

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) ::BCryptDestroyHash(hash);
    if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0)))
    throw std::runtime_error("SHA-256 is not available (BCrypt)");
}

void Sha256::Add(const void* data, size_t n) {
  // BCryptHashData takes at most 4 GB a call; a block is far less.
  if (n && !BCRYPT_SUCCESS(::BCryptHashData(state_->hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(n), 0)))
    throw std::runtime_error("SHA-256 failed (BCrypt)");
}

std::string Sha256::HexDigest() {
  unsigned char d[32];
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(state_->hash, d, sizeof d, 0))) throw std::runtime_error("SHA-256 failed (BCrypt)");
  return Hex(d, sizeof d);
}

#else

struct Sha256::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!state_->context || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 is not available (libcrypto)");
}

void Sha256::Add(const void* data, size_t n) {
  if (EVP_DigestUpdate(state_->context, data, n) != 1) throw std::runtime_error("SHA-256 failed (libcrypto)");
}

std::string Sha256::HexDigest() {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(state_->context, d, &n) != 1) throw std::runtime_error("SHA-256 failed (libcrypto)");
  return Hex(d, n);
}

#endif

Sha256::~Sha256() = default;

std::string Sha256Hex(std::string_view bytes) {
  Sha256 h;
  h.Add(bytes.data(), bytes.size());
  return h.HexDigest();
}

}  // namespace updater
