#pragma once
// The update service agent ("appinterface.dll") and the local run history beside it.
#include <cstdint>
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
                   Clock& clock);
// RUNVER of the history file; "0.0.0.0" when absent.
std::string ReadRunVersion(bool tool08);

struct ServiceAnswer {
  int32_t result = -1;  // 0 success; -1 when the entry point is missing
  std::string reply;
};
// One request to the agent. Throws when its DLL cannot be found or loaded (after trying to
// install the agent for commands 257 and 267, and after a failed load).
ServiceAnswer ServiceCall(uint16_t command, std::string_view request);
// The agent DLL: Fennix install folder, then the Exe folder, then this program's folder; empty when none.
std::string FindAgentDll();
// Runs the agent installer of the Etc folder when it is recent enough; true when it was run.
bool InstallAgent();

ServiceAnswer AskToolList(bool tool08);                 // 260 with the run version
std::string AskRunVersion(bool tool08);                 // the history file, else 257
ServiceAnswer AskValidity(bool tool08);                 // 267; reply trimmed
void ReportResult(bool tool08, std::string_view toolVersion, int result);  // 259

// Korean text of a service error code, else the system's text, else "없음".
std::string ErrorText(int32_t code);
// Time-outs, call failures, socket errors, file not found: a substring test on the code's text.
bool IsCommunicationFailure(int32_t code);

}  // namespace updater
