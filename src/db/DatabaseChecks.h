#pragma once
// Checks of the clinic database before and during the run.

namespace updater {

// True when the clinic database is usable. Shows its own messages when asked; throws when the
// server cannot serve (the caller shows the text and ends).
bool StartupDatabaseGate(bool showMessages);

}  // namespace updater
