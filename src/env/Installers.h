#pragma once
// What follows the deployment of a file, by its copy type: installers, RunOnce registration,
// the mobile server, the Tindle agent, data tools and documents.
#include <string>

namespace updater {

class TtsQuery;
struct TUpdateFile;

void NoteDeployedPath(int subFolderIndex, const std::string& fileName, const std::string& targetPath);
void MobileServerRestart(const std::string& fileName);
void AfterDeployAction(const TUpdateFile& file, const std::string& targetPath, int position);
void TindleAgentStep(TtsQuery* query);

}  // namespace updater
