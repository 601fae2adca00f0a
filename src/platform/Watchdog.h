#pragma once
// A bound on a call into a component that can block for ever (a database driver waiting on a
// server that stopped answering): the call runs on a thread of its own and the caller waits at
// most the given time.
#include <cstdint>
#include <functional>

namespace updater {

// True when the work finished in time (an exception it raised is raised here). False when it did
// not: its thread is left to end by itself, or with the process, so whatever the work uses must
// stay alive (the caller abandons it).
bool RunWithin(uint32_t milliseconds, std::function<void()> work);

}  // namespace updater
