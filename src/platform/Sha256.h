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
  Sha256();  // throws std::runtime_error when the system has no SHA-256
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

}  // namespace updater
