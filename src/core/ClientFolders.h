#pragma once
// Every path the tool touches on the clinic PC. Nothing is cached: a folder that appears
// during the run is seen by the next call. Folder results end with a backslash unless noted.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/TargetRules.h"

namespace updater {

std::string InstallRoot();
std::string ExeFolder();
std::string ToolFolder();
std::string LogFolder();   // created when missing; "C:\" when it cannot be
std::string TempFolder();  // created when missing; "C:\" when it cannot be
std::string EtcFolder();
std::string ESignFolder();
std::string ManualUpdateFolder();
std::string CommLibFolder();
std::string ChromiumFolder();
std::string MobileFolder();
std::string BackupRoot();
// Temp\FX4\New\<base name of the tool>\, created (with the manual update folder) when missing.
std::string StagingFolder(std::string_view toolPath);

std::string QuorixRoot();            // as found, no backslash added; may be empty
std::string FennixInstallFolder();   // as found; may be empty
std::string FennixUpdateFolder(bool tool08);  // blanks kept
std::string ProgramFilesFolder();    // as found

// True when the folder exists or could be made with all its parents.
bool EnsureFolder(std::string_view path);

// The target rules asked of this PC.
PathAnswer TargetPath(const ItemPlace& item);
BackupAnswer BackupAndTarget(const ItemPlace& item);

}  // namespace updater
