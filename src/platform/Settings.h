#pragma once
// Ini files: values read whole, missing ones as the fallback given.
#include <string>
#include <string_view>

#include "platform/Handles.h"

namespace updater {

// A profile (ini) value, however long; fallback when missing. A file without a folder is looked
// for in the Windows folder, as the system does.
std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view fallback);
// An integer value as the system reads one: its leading digits ("01" is 1); fallback when missing.
int ReadIniInteger(std::string_view file, std::string_view section, std::string_view key, int fallback);
// False when the value could not be written (a missing folder, a read-only file).
bool WriteIniString(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

}  // namespace updater
