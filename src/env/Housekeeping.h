#pragma once
// Traces of earlier runs and obstacles of this one: stopped programs, leftovers, old tools,
// busy files, and the search path.
#include <string>
#include <string_view>
#include <vector>

#include "core/RunState.h"
#include "core/StringList.h"
#include "platform/Clock.h"

namespace updater {

// Terminates the background client programs that must not run during an update.
void StopStartOfRunProcesses(RunState& run);
// Sweeps the Exe folder's temporary files and deletes update tools older than the keep window.
void StartOfRunCleanup(bool tool08, StringList& failures);
// Deletes every "*.yte" file of the folder, logging each.
void SweepTemporaryFiles(std::string_view folder, StringList& failures);
// Deletes tool files numbered below the run version's number minus 30.
void DeleteOldTools(bool tool08);
// Renames a file that a process keeps open to stem_yyyymmdd_hhmmss.yte; answers the new path.
std::string RenameBusyFile(std::string_view path, Clock& clock);
// Adds the file named in a copy error message to busyFiles; true when it names an existing file.
bool CaptureBusyFile(std::string_view errorMessage, StringList& busyFiles);
// Deletes the folder with everything below it (silently leaves what cannot be deleted).
void RemoveFolderTree(std::string_view folder);
// Adds the CommLib, Exe and Tool folders to the machine-wide Path when missing.
void AddSearchPathEntries();
bool ReadEnvironmentValue(std::string_view name, std::string& value);
bool AppendEnvironmentValue(std::string_view name, std::string_view text);
// Files (not folders) matching path's folder + mask; with recurse, below every sub-folder too.
std::vector<std::string> ListFiles(std::string_view path, std::string_view mask, bool recurse);
// As ListFiles from a folder, appending to list; hidden and system sub-folders are not entered.
void ListFilesRecursive(std::string_view folder, std::string_view mask, std::vector<std::string>& list, bool recurse);
std::vector<std::string> ListFilesExcept(std::string_view path, std::string_view mask, bool recurse);

}  // namespace updater
