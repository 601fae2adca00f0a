#pragma once
// The start-up database gate and its checks: the database can be reached (or the user is told why
// not), the settings that worked are recorded, the server-information program is started, and a
// PostgreSQL server in recovery is refused.
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

// Program start, before the gate: the kind from DBServer.ini and, for SQL Anywhere, the installed
// versions.
void PrepareDatabase();
// True when the clinic database is usable; shows its own message when it is not and showMessages
// is set. Throws for a server in recovery (the caller shows the text and ends).
bool StartupDatabaseGate(bool showMessages, Ui& ui);
bool CheckDatabaseConnection(bool showMessages, Ui& ui);
bool CheckInternetState();
void LaunchServerInfoTool();
bool CheckDbExport();
bool CheckRecoveryMode();

}  // namespace updater
