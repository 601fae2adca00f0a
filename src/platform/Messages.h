#pragma once
// Keeps windows alive during long work on the one thread: handles every pending message.

namespace updater {

void ProcessPendingMessages();

}  // namespace updater
