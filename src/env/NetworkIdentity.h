#pragma once
// This PC's identity on the clinic network.
#include <string>

namespace updater {

class TtsQuery;

// The first address of this PC that has a PCINFO row; empty when none has (or no query).
std::string RegisteredLocalAddress(TtsQuery* query);

}  // namespace updater
