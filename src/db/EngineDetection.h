#pragma once
// Which SQL Anywhere versions are installed (the uninstall entries, in both registry views) and
// whether a SQL Anywhere network server runs on this PC (its process and its main window's title).
#include <array>
#include <string>


namespace updater {

// Sets the installed-version flags of the database (index 0 "12", 1 "17").
void DetectInstalledEngines(std::array<bool, 2>& installed, std::array<bool, 2>& installed64);
// The running server's name from its window title, without the product's suffix; empty when none.
std::string FindRunningNetworkServer();
// The server name in a window title: the two suffixes removed in any letter case, blanks trimmed.
std::string ServerNameFromTitle(std::string title);

}  // namespace updater
