#include "package/Installers.h"

namespace updater {

// Stubs until the copy-type actions are built: deployment copies files and nothing follows.
void NoteDeployedPath(int, const std::string&, const std::string&) {}
void MobileServerRestart(const std::string&) {}
void AfterDeployAction(const TUpdateFile&, const std::string&, int) {}
void TindleAgentStep(TtsQuery*) {}
void EndOfRunDataTool(TtsQuery*, const std::string&) {}
void OpenDocumentsStep() {}
std::string LatestDataTool(TtsQuery*, bool, bool) { return {}; }

}  // namespace updater
