#pragma once
// The start-up database gate and its checks: the database can be reached (or the user is told why
// not), the settings that worked are recorded, the server-information program is started, and a
// PostgreSQL server in recovery is refused.
#include "db/Database.h"

namespace updater {

// True when the clinic database is usable; shows its own message when it is not and showMessages
// is set. Throws for a server in recovery (the caller shows the text and ends).
bool StartupDatabaseGate(bool showMessages, Database& db);
bool CheckDatabaseConnection(bool showMessages, Database& db);
// True when CVL2000.ini switches the check off or the connection state says online.
bool CheckInternetState(const Database& db);
// The run report's rule: false only when the system says offline, unless CVL2000.ini switches the
// check off; a system that cannot tell counts as online.
bool InternetAvailable(const Database& db);
void LaunchServerInfoTool();
bool CheckDbExport(Database& db);
bool CheckRecoveryMode(Database& db);

}  // namespace updater
