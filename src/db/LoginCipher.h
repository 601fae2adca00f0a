#pragma once
// The scrambling of the login texts that the constants DLL hands over. Each cipher byte is written
// as three decimal digits; the running 16-bit key starts from the seed and follows the cipher
// bytes. Pure; the seed and the two constants are this product's own.
#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

inline constexpr uint32_t kLoginSeed = 0x5A3C9E17;
inline constexpr uint16_t kLoginK1 = 52845, kLoginK2 = 22719;

// One login record as the constants DLL fills it: two length-prefixed texts of 256 bytes.
struct LoginRecord {
  unsigned char user[256];
  unsigned char password[256];
};
static_assert(sizeof(LoginRecord) == 512);

std::string DecipherLoginText(std::string_view text);
// The inverse, for whatever produces the records (the test double, a clinic's setup).
std::string EncipherLoginText(std::string_view plain);

}  // namespace updater
