#pragma once
// This PC's identity on the clinic network.
#include <string>

#include "db/TsQuery.h"

namespace updater {

// The first address of this PC that has a PCINFO row; empty when none has (or no query).
std::string RegisteredLocalAddress(TtsQuery* query);
// Posts the one-line run report; true when skipped or accepted.
bool SendRunReport(TtsQuery* query, const std::string& name, const std::string& text, bool withProgram);

}  // namespace updater
