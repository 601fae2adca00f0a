#pragma once
// Keeps windows alive during long work on the one thread: handles every pending message.

#include <cstdint>

#include "platform/Clock.h"

namespace updater {

void ProcessPendingMessages();
// Waits by the clock while the windows stay alive: pending messages run at least every 100 ms.
void SleepProcessingMessages(Clock& clock, uint32_t milliseconds);
// Tells every top-level window that the system environment changed (at most 5 s for a window that
// hangs), so that programs started later see it.
void BroadcastEnvironmentChange();

}  // namespace updater
