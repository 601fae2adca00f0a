#pragma once
// SHA-256 from the system's own cryptography: BCrypt in the Windows programs, libcrypto in the
// native tools. Never a hand-written hash.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace updater {

class Sha256 {
 public:
  Sha256();  // throws (OsError in the Windows programs) when the system has no SHA-256
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Add(const void* data, size_t n);
  // 64 lower-case hex digits; the hash takes no more data after it.
  std::string HexDigest();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::string Sha256Hex(std::string_view bytes);

// The same on a thread of its own, fed in chunks of 1 MB, so that a caller who inflates and writes
// at the same time waits for the hash only at the end. At most two chunks wait for the thread.
class BackgroundSha256 {
 public:
  BackgroundSha256();
  ~BackgroundSha256();  // stops the thread; a digest not asked for is dropped
  BackgroundSha256(const BackgroundSha256&) = delete;
  BackgroundSha256& operator=(const BackgroundSha256&) = delete;
  void Add(const void* data, size_t n);
  // Waits for the thread; throws what the hash threw.
  std::string HexDigest();

 private:
  struct Queue;
  void Hand(std::string&& chunk);
  std::unique_ptr<Queue> queue_;
  std::string chunk_;
};

}  // namespace updater
