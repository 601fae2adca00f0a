#include "db/DatabaseChecks.h"

namespace updater {

// No database layer yet: there is nothing to check against, so start-up goes on.
bool StartupDatabaseGate(bool /*showMessages*/) { return true; }

}  // namespace updater
