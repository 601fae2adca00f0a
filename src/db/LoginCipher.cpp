#include "db/LoginCipher.h"

namespace updater {
namespace {

uint16_t NextKey(uint16_t key, unsigned char cipher) { return static_cast<uint16_t>((cipher + key) * kLoginK1 + kLoginK2); }

}  // namespace

std::string DecipherLoginText(std::string_view text) {
  std::string out;
  uint16_t key = static_cast<uint16_t>(kLoginSeed & 0xFFFF);
  for (size_t at = 0; at < text.size(); at += 3) {
    // A group that is not a number reads as 0.
    int value = 0;
    bool number = true;
    for (char c : text.substr(at, 3)) {
      if (c < '0' || c > '9') number = false;
      else value = value * 10 + (c - '0');
    }
    const auto cipher = static_cast<unsigned char>(number ? value : 0);
    out.push_back(static_cast<char>(cipher ^ (key >> 8)));
    key = NextKey(key, cipher);
  }
  return out;
}

std::string EncipherLoginText(std::string_view plain) {
  std::string out;
  uint16_t key = static_cast<uint16_t>(kLoginSeed & 0xFFFF);
  for (char c : plain) {
    const auto cipher = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ (key >> 8));
    const std::string digits = std::to_string(cipher);
    out += std::string(3 - digits.size(), '0') + digits;
    key = NextKey(key, cipher);
  }
  return out;
}

}  // namespace updater
