#pragma once
// Traces of earlier runs and obstacles of this one: stopped programs, leftovers, old tools,
// renamed busy files, and the search path.
#include <optional>
#include <string>
#include <string_view>

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
// Deletes the folder with everything below it (silently leaves what cannot be deleted).
void RemoveFolderTree(std::string_view folder);
// Adds the CommLib, Exe and Tool folders to the machine-wide Path when missing.
void AddSearchPathEntries();
// A machine environment value, expanded; none when it is missing or cannot be read.
std::optional<std::string> ReadEnvironmentValue(std::string_view name);
// Appends ";" + text to the value and tells the running programs; throws OsError.
void AppendEnvironmentValue(std::string_view name, std::string_view text);

}  // namespace updater
