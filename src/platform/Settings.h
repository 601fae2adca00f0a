#pragma once
// The registry and ini files: values read whole, missing ones as empty or the fallback given.
#include <string>
#include <string_view>

#include "platform/Handles.h"

namespace updater {

// Reads a string value; empty when the key or value is missing.
std::string ReadRegistryString(HKEY root, std::string_view subKey, std::string_view name, REGSAM view = 0);

// A profile (ini) value, however long; fallback when missing. A file without a folder is looked
// for in the Windows folder, as the system does.
std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view fallback);
void WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

}  // namespace updater
