#pragma once
// Finding and ending the processes that hold package files: by executable name, or by a module
// they have loaded from the client folders.
#include <string>

#include "core/RunState.h"
#include "core/StringList.h"

namespace updater {

// Names are lower-cased file names. nested: part of another termination step (no opening and
// closing lines); verbose: per-process lines. True when at least one process was terminated.
// The run-wide state given is where failures, programs that would not end and the mobile server's
// state are recorded.
bool TerminateProcessesByName(RunState& run, const StringList& names, bool nested, bool verbose);
void TerminateModuleUsers(RunState& run, const StringList& moduleNames, bool verbose);
// One entry per running instance of a listed program.
bool FindRunningByName(const StringList& names, StringList& found);
// Programs that have a listed module loaded from the install root or the Quorix root (and the
// fixed companion rules); each program once.
bool FindModuleUsers(RunState& run, const StringList& moduleNames, StringList& found);
// True when every holder may be closed without asking the user.
bool OnlyClosableHolders(const StringList& holders);

}  // namespace updater
