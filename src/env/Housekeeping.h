#pragma once
// Traces of earlier runs and obstacles of this one: stopped programs, leftovers, old tools.

namespace updater {

// Terminates the background client programs that must not run during an update.
void StopStartOfRunProcesses();
// Sweeps the Exe folder's temporary files and deletes update tools older than the keep window.
void StartOfRunCleanup(bool tool08);

}  // namespace updater
