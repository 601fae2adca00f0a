#pragma once
// What follows the deployment of a file, by its copy type: installers, RunOnce registration,
// the mobile server, the Tindle agent, data tools and documents.
#include <string>

#include "db/TsQuery.h"
#include "package/Updater.h"

namespace updater {

void NoteDeployedPath(int subFolderIndex, const std::string& fileName, const std::string& targetPath);
void MobileServerRestart(const std::string& fileName);
void AfterDeployAction(const TUpdateFile& file, const std::string& targetPath, int position);
void TindleAgentStep(TtsQuery* query);
// At close after a successful run: registers the data tools and starts the flagged one.
void EndOfRunDataTool(TtsQuery* query, const std::string& registeredIp);
// At close after a successful run: opens the packages' documents when OpenDocuments is set.
void OpenDocumentsStep();
// TOOLNAME (wantName) or VERSION of the newest VEROZ4/VEROZ5 data tool in TOOLLIST; empty when none.
std::string LatestDataTool(TtsQuery* query, bool executedOnly, bool wantName);

}  // namespace updater
