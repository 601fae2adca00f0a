#include "deploy/Installers.h"

#include <array>

#include "core/LogForms.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "db/ClinicTables.h"
#include "env/FileVersion.h"
#include "package/PackageFormat.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace updater {
namespace {

constexpr std::array<const char*, 4> kMobileModules = {"CvlPallid.dll", "CvlOrbiter_REST.exe", "CvlTernClient.exe", "TXQuill.dll"};
constexpr const char* kMobileServer = "CvlOrbiter_REST.exe";
constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

void ReplaceEntry(StringList& list, const std::string& name, const std::string& path) {
  const int at = list.IndexOf(name);
  if (at >= 0) list[static_cast<size_t>(at)] = path;
}

// The condition of an opening, asked when the file is deployed.
bool ConditionHolds(const TtsQuery& query, const TUpdateFileResource& r, AfterDeploy::Condition condition) {
  switch (condition) {
    case AfterDeploy::Condition::Always: return true;
    case AfterDeploy::Condition::PostgreSql: return query.IsPostgreSql();
    case AfterDeploy::Condition::RequiredFolder:
      for (const std::string& folder : RequiredFolders(r.RequiredFolder, InstallRoot()))
        if (FolderExists(folder)) return true;
      return false;
  }
  return false;
}

}  // namespace

void NoteDeployedPath(RunState& run, int subFolderIndex, const std::string& fileName, const std::string& targetPath) {
  if (IsDataToolName(fileName)) ReplaceEntry(run.DataToolList, fileName, targetPath);
  if (IsDocumentIndex(subFolderIndex)) ReplaceEntry(run.OpenFileList, fileName, targetPath);
}

void MobileServerRestart(const RunState& run, const std::string& fileName) {
  bool module = false;
  for (const char* m : kMobileModules) module |= EqualsIgnoreCase(fileName, m);
  const std::string server = MobileFolder() + kMobileServer;
  if (!module || !FileExists(server) || !run.MobileServerWasRunning) return;
  OpenWithShell(server, {}, MobileFolder(), SW_SHOWDEFAULT);
}

void AfterDeployAction(TtsQuery& query, const TUpdateFileResource& r, const std::string& targetPath, int position) {
  const std::string name = CopyTypeName(r.CopyType);
  const AfterDeploy action = AfterDeployOf(r.CopyType, targetPath);
  if (action.kind == AfterDeploy::Kind::RunOnce) {
    const std::string valueName = BaseName(OwnExecutablePath()) + "_" + std::to_string(position);
    WriteStringToExistingKey(HKEY_LOCAL_MACHINE, kRunOnceKey, valueName, action.command);  // a missing key is left missing
    LogLine("    → " + Fill(logform::kRunOnceAction, {name, targetPath, valueName}));
    return;
  }
  if (action.kind != AfterDeploy::Kind::Open || !FileExists(targetPath) || !ConditionHolds(query, r, action.condition)) return;
  OpenWithShell(targetPath, action.command);
  LogLine("    → " + Fill(logform::kOpenAction, {name, targetPath}));
}

void TindleAgentStep(TtsQuery& query, const PcIdentity& pc) {
  LogLine("    " + Fill(logform::kTindleStart, {}));
  LogLine("    → " + Fill(logform::kTindleCheck, {}));
  bool eligible = false;
  try {
    const std::string agentPc = TindleAgentPc(query);
    bool ours = false;
    if (!agentPc.empty())
      for (const std::string& id : pc.pcIds) ours |= id == agentPc;
    eligible = ours && TindleInUse(query) && FolderExists(WithoutTrailingBackslash(ProgramFilesFolder()) + "\\Tarvex\\Tindle");
  } catch (const std::exception& e) {
    LogLine("    → " + Fill(logform::kTindleCheckError, {e.what()}));
    eligible = false;
  }
  if (!eligible) {
    LogLine("    → " + Fill(logform::kTindleNotHere, {}));
    return;
  }
  LogLine("    → " + Fill(logform::kTindleChecked, {}));
  OpenWithShell(EtcFolder() + "Tindle\\Install_TindleAgent.exe", "/mode cvlupdate", {}, SW_HIDE, "");
  LogLine("    → " + Fill(logform::kTindleStarted, {}));
}

void EndOfRunDataTool(RunState& run, TtsQuery& query, const std::string& registeredIp, Ui& ui) {
  if (registeredIp.empty() || run.DataToolList.Empty()) return;
  std::string flagged;
  for (size_t i = 0; i < run.DataToolList.Size(); ++i) {
    const std::string name = FileNamePart(run.DataToolList[i]);
    const std::string version = VersionText(run.DataToolList[i], 1);
    if (!DataToolRegistered(query, name, version)) {
      try {
        RegisterDataTool(query, name, version);
      } catch (const std::exception& e) {
        ui.Error(e.what());  // shown, and the others are still registered
      }
    }
    if (i < run.DataToolAutoRunList.Size() && Trim(run.DataToolAutoRunList[i]) == "1") flagged = name;
  }
  if (flagged.empty() || DataToolPermission(query, registeredIp) != 1) return;
  SaveRunLog();  // waited for without limit
  StartAndWait(CommandPath(ToolFolder() + flagged) + " \"-h\"", StartMode::Detached, 0);
}

void OpenDocumentsStep(const RunState& run, Clock& clock) {
  if (!run.OpenDocuments) return;
  for (const std::string& document : run.OpenFileList) {
    if (!FileExists(document)) continue;
    OpenWithShell(document);
    clock.Sleep(100);
  }
}

}  // namespace updater
