#pragma once
// Every registry access of the program: values read whole, missing ones as empty.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Handles.h"

namespace updater {

// A string value (REG_SZ or REG_EXPAND_SZ, unexpanded); empty when the key or value is missing.
std::string ReadRegistryString(HKEY root, std::string_view subKey, std::string_view name, REGSAM view = 0);
// The names of the sub-keys; empty when the key is missing.
std::vector<std::string> RegistrySubKeys(HKEY root, std::string_view subKey, REGSAM view = 0);
// Makes the key when it is missing and the user may; nothing else.
void EnsureRegistryKey(HKEY root, std::string_view subKey);
// Writes a string value into a key that already exists (it is never made); false when the key is
// missing or the value could not be written.
bool WriteStringToExistingKey(HKEY root, std::string_view subKey, std::string_view name, std::string_view value);
// Writes an expandable string into an existing key; throws OsError when the key cannot be opened
// for writing or the value not written.
void WriteRegistryExpandString(HKEY root, std::string_view subKey, std::string_view name, std::string_view value);

}  // namespace updater
