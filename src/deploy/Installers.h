#pragma once
// What follows the deployment of a file, by its copy type: installers, RunOnce registration,
// the mobile server, the Tindle agent, data tools and documents.
#include <cstdint>
#include <string>

#include "core/RunState.h"
#include "db/ClinicTables.h"
#include "db/TsQuery.h"
#include "package/PackageFormat.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

// A deployed data tool or document takes its name's place in the run-wide lists.
void NoteDeployedPath(RunState& run, int subFolderIndex, const std::string& fileName, const std::string& targetPath);
// Starts the mobile server again after one of its modules was deployed, when the run ended it.
void MobileServerRestart(const RunState& run, const std::string& fileName);
// The action of the file's copy type; position is the file's 1-based place in the update list.
void AfterDeployAction(TtsQuery& query, const TUpdateFileResource& r, const std::string& targetPath, int position);
// Starts the Tindle agent installer on the one PC meant to run the agent.
void TindleAgentStep(TtsQuery& query, const PcIdentity& pc);
// At close after a successful run: registers the data tools in TOOLLIST and starts the flagged one
// when this PC may run data tools; a failed insert is shown and the rest goes on.
void EndOfRunDataTool(RunState& run, TtsQuery& query, const std::string& registeredIp, Ui& ui);
// At close after a successful run: opens the packages' documents when OpenDocuments is set.
void OpenDocumentsStep(const RunState& run, Clock& clock);

}  // namespace updater
