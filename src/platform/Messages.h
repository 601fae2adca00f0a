#pragma once
// Keeps windows alive during long work on the one thread: handles every pending message.

#include <cstdint>

#include "platform/Clock.h"

namespace updater {

void ProcessPendingMessages();
// Waits by the clock while the windows stay alive: pending messages run at least every 100 ms.
void SleepProcessingMessages(Clock& clock, uint32_t milliseconds);

}  // namespace updater
