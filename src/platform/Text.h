#pragma once
// Text at the Win32 boundary: UTF-8 inside, UTF-16 for the W functions, the ANSI code page (949 on
// a Korean PC) where bytes leave or enter, and the system's own messages.
#include <string>
#include <string_view>

#include "platform/Handles.h"

namespace updater {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// Text in the ANSI code page, for files and the wire.
std::string ToAnsi(std::string_view utf8);
std::string FromAnsi(std::string_view bytes);
// The system's own message for an error code, trimmed of blanks and line breaks; empty when none.
std::string SystemErrorText(DWORD code);
// The user's thousands separator and decimal sign; empty where the system does not say.
struct NumberSigns {
  std::string thousands, decimal;
};
NumberSigns SystemNumberSigns();

}  // namespace updater
