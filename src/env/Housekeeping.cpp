#include "env/Housekeeping.h"

namespace updater {

// Process termination and the history file are not built yet; these steps do nothing so far.
void StopStartOfRunProcesses() {}
void StartOfRunCleanup(bool /*tool08*/) {}

}  // namespace updater
