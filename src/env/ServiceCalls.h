#pragma once
// The update service agent and the local run history beside it.
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace updater {

// "08" for a tool08 executable, else "01".
inline std::string ItemCode(bool tool08) { return tool08 ? "08" : "01"; }
// Install root + "UpdaterChart.ini" (tool08) or "Updater.ini".
std::string HistoryFilePath(bool tool08);
// Flag "Y"/"N": HISTORY entry with today's date, and RUNVER after a success with a newer version;
// a flag beginning with "VEROZ": the tool's prerequisite in PREVTOOL. Anything else writes nothing.
void RecordHistory(bool tool08, std::string_view toolPath, std::string_view toolVersion, std::string_view flag,
                   Clock& clock = SystemClock());
// Reports one tool run to the update service (result "0" success, "1" failure).
void ReportResult(bool tool08, std::string_view toolVersion, int result);
// RUNVER of the history file; "0.0.0.0" when absent.
std::string ReadRunVersion(bool tool08);

}  // namespace updater
