#include "platform/Sha256.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>

#include "platform/OsError.h"
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

namespace {

// A BCrypt call that failed, with the NTSTATUS it answered.
void Check(NTSTATUS status, const char* call) {
  if (!BCRYPT_SUCCESS(status))
    throw OsError(call, "", static_cast<DWORD>(status), std::string("SHA-256 failed (") + call + ", status " + std::to_string(status) + ")");
}

}  // namespace

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) ::BCryptDestroyHash(hash);
    if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  Check(::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0), "BCryptOpenAlgorithmProvider");
  Check(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0), "BCryptCreateHash");
}

void Sha256::Add(const void* data, size_t n) {
  // BCryptHashData takes at most 4 GB a call; a block is far less.
  if (n) Check(::BCryptHashData(state_->hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(n), 0), "BCryptHashData");
}

std::string Sha256::HexDigest() {
  unsigned char d[32];
  Check(::BCryptFinishHash(state_->hash, d, sizeof d, 0), "BCryptFinishHash");
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

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr size_t kMostWaiting = 2;
}  // namespace

struct BackgroundSha256::Queue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::string> chunks;
  bool closed = false;
  std::exception_ptr error;
  std::string digest;
  std::thread worker;

  void Work() {
    try {
      Sha256 hash;
      for (;;) {
        std::string chunk;
        {
          std::unique_lock<std::mutex> lock(mutex);
          changed.wait(lock, [&] { return !chunks.empty() || closed; });
          if (chunks.empty()) break;
          chunk = std::move(chunks.front());
          chunks.pop_front();
        }
        changed.notify_all();
        hash.Add(chunk.data(), chunk.size());
      }
      const std::string d = hash.HexDigest();
      std::lock_guard<std::mutex> lock(mutex);
      digest = d;
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      error = std::current_exception();
      chunks.clear();
    }
    changed.notify_all();
  }
};

BackgroundSha256::BackgroundSha256() : queue_(std::make_unique<Queue>()) {
  queue_->worker = std::thread([q = queue_.get()] { q->Work(); });
  chunk_.reserve(kChunk);
}

BackgroundSha256::~BackgroundSha256() {
  {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->closed = true;
  }
  queue_->changed.notify_all();
  if (queue_->worker.joinable()) queue_->worker.join();
}

void BackgroundSha256::Hand(std::string&& chunk) {
  std::unique_lock<std::mutex> lock(queue_->mutex);
  queue_->changed.wait(lock, [&] { return queue_->chunks.size() < kMostWaiting || queue_->error; });
  if (!queue_->error) queue_->chunks.push_back(std::move(chunk));
  lock.unlock();
  queue_->changed.notify_all();
}

void BackgroundSha256::Add(const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const size_t take = std::min(n, kChunk - chunk_.size());
    chunk_.append(p, take);
    p += take;
    n -= take;
    if (chunk_.size() == kChunk) {
      Hand(std::move(chunk_));
      chunk_ = std::string();
      chunk_.reserve(kChunk);
    }
  }
}

std::string BackgroundSha256::HexDigest() {
  if (!chunk_.empty()) Hand(std::move(chunk_));
  chunk_ = std::string();
  {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->closed = true;
  }
  queue_->changed.notify_all();
  if (queue_->worker.joinable()) queue_->worker.join();
  if (queue_->error) std::rethrow_exception(queue_->error);
  return queue_->digest;
}

}  // namespace updater
