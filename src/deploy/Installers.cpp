#include "deploy/Installers.h"

#include <array>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "core/RunLog.h"
#include "db/Dialect.h"
#include "env/FileVersion.h"
#include "package/NetworkIdentity.h"
#include "package/PackageFormat.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace updater {
namespace {

constexpr std::array<const char*, 4> kMobileModules = {"CvlPallid.dll", "CvlOrbiter_REST.exe", "CvlTernClient.exe", "TXQuill.dll"};
constexpr const char* kMobileServer = "CvlOrbiter_REST.exe";
constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

DbmsKind KindOf(const TtsQuery& query) { return query.Db().Kind; }

void ReplaceEntry(StringList& list, const std::string& name, const std::string& path) {
  const int at = list.IndexOf(name);
  if (at >= 0) list[static_cast<size_t>(at)] = path;
}

// The condition of an opening, asked when the file is deployed.
bool ConditionHolds(const TUpdater& updater, const TUpdateFileResource& r, AfterDeploy::Condition condition) {
  switch (condition) {
    case AfterDeploy::Condition::Always: return true;
    case AfterDeploy::Condition::PostgreSql: return updater.Query->IsPostgreSql();
    case AfterDeploy::Condition::RequiredFolder:
      for (const std::string& folder : RequiredFolders(r.RequiredFolder, InstallRoot()))
        if (FolderExists(folder)) return true;
      return false;
  }
  return false;
}

}  // namespace

void NoteDeployedPath(RunState& run, int subFolderIndex, const std::string& fileName, const std::string& targetPath) {
  if (ToUpperAscii(fileName).find("VEROZ") != std::string::npos && IsDataToolName(fileName))
    ReplaceEntry(run.DataToolList, fileName, targetPath);
  if (IsDocumentIndex(subFolderIndex)) ReplaceEntry(run.OpenFileList, fileName, targetPath);
}

void MobileServerRestart(const RunState& run, const std::string& fileName) {
  bool module = false;
  for (const char* m : kMobileModules) module |= EqualsIgnoreCase(fileName, m);
  const std::string server = MobileFolder() + kMobileServer;
  if (!module || !FileExists(server) || !run.MobileServerWasRunning) return;
  OpenWithShell(server, {}, MobileFolder(), SW_SHOWDEFAULT);
}

void AfterDeployAction(TUpdater& updater, const TUpdateFile& file, const std::string& targetPath, int position) {
  const TUpdateFileResource& r = updater.ResourceOf(file);
  const std::string name = CopyTypeName(r.CopyType);
  const AfterDeploy action = AfterDeployOf(r.CopyType, targetPath);
  if (action.kind == AfterDeploy::Kind::RunOnce) {
    const std::string valueName = BaseName(OwnExecutablePath()) + "_" + std::to_string(position);
    WriteStringToExistingKey(HKEY_LOCAL_MACHINE, kRunOnceKey, valueName, action.command);  // a missing key is left missing
    LogLine("    → " + name + "(" + targetPath + ",RegistryKey: " + valueName + ")");
    return;
  }
  if (action.kind != AfterDeploy::Kind::Open || !FileExists(targetPath) || !ConditionHolds(updater, r, action.condition)) return;
  OpenWithShell(targetPath, action.command);
  LogLine("    → " + name + "(" + targetPath + ")");
}

void TindleAgentStep(TtsQuery& query) {
  LogLine("    Tindle 에이전트 설치파일(Install_TindleAgent.exe) 실행");
  LogLine("    → Tindle 에이전트 실행가능 PC여부 체크");
  bool eligible = false;
  try {
    query.SQL = {"SELECT SETUPVALUE FROM FOPTION ", "WHERE SETUPSECT = " + QuotedLiteral("TINDLE AGENT RUNNING PC")};
    query.OpenQuery();
    const std::string pc = query.Eof() ? std::string{} : Trim(query.FieldText(0));
    bool ours = false;
    if (!pc.empty())
      for (const std::string& id : PcIds(query)) ours |= id == pc;
    if (ours) {
      query.SQL = {"SELECT COUNT(1) FROM FOPTION ",
                   "WHERE (SETUPSECT IN (" + QuotedLiteral("USE TINDLE") + ", " + QuotedLiteral("USE TINDLE RSV") + ")) ",
                   "AND (SETUPVALUE = " + QuotedLiteral("1") + ") "};
      query.OpenQuery();
      eligible = !query.Eof() && std::stoll(Trim(query.FieldText(0))) > 0 &&
                 FolderExists(WithoutTrailingBackslash(ProgramFilesFolder()) + "\\Tarvex\\Tindle");
    }
  } catch (const std::exception& e) {
    LogLine("    → Tindle 에이전트 실행가능 PC여부 확인 중 예외발생, Err.Message: " + std::string(e.what()));
    eligible = false;
  }
  if (!eligible) {
    LogLine("    → Tindle 에이전트 실행가능 PC 아님");
    return;
  }
  LogLine("    → Tindle 에이전트 실행가능 PC여부 확인완료");
  OpenWithShell(EtcFolder() + "Tindle\\Install_TindleAgent.exe", "/mode cvlupdate", {}, SW_HIDE, "");
  LogLine("    → Tindle 에이전트 설치파일(Install_TindleAgent.exe) 실행완료");
}

void EndOfRunDataTool(RunState& run, TtsQuery& query, const std::string& registeredIp, Ui& ui) {
  if (registeredIp.empty() || run.DataToolList.Empty()) return;
  std::string flagged;
  for (size_t i = 0; i < run.DataToolList.Size(); ++i) {
    const std::string name = FileNamePart(run.DataToolList[i]);
    const std::string version = VersionText(run.DataToolList[i], 1);
    query.SQL = {"SELECT * FROM TOOLLIST ", "WHERE TOOLNAME = " + QuotedLiteral(name), "AND VERSION = " + QuotedLiteral(version)};
    query.OpenQuery();
    if (query.Eof()) {
      query.SQL = {"INSERT INTO TOOLLIST(TOOLNAME, VERSION, EXECHK, TOOLDATE) ",
                   "VALUES ( " + QuotedLiteral(name) + ", " + QuotedLiteral(version) + ", " + QuotedLiteral("N") + ", " +
                       CurrentDateKeyword(KindOf(query)) + "); "};
      try {
        query.ExecQuery();
      } catch (const std::exception& e) {
        ui.Error(e.what());  // shown, and the others are still registered
      }
    }
    if (i < run.DataToolAutoRunList.Size() && Trim(run.DataToolAutoRunList[i]) == "1") flagged = name;
  }
  if (flagged.empty()) return;
  query.SQL = {"SELECT " + TopClause(1, KindOf(query)) + " EXECCHECK ", "FROM DBA.PCINFO ",
               "WHERE IPADDR = " + QuotedLiteral(registeredIp), "ORDER BY EXECCHECK DESC ", LimitClause(1, KindOf(query))};
  query.OpenQuery();
  if (query.Eof() || query.FieldInteger("EXECCHECK") != 1) return;
  StartAndWait(ToolFolder() + flagged + " \"-h\"", StartMode::Detached, 0);
}

void OpenDocumentsStep(const RunState& run, Clock& clock) {
  if (!run.OpenDocuments) return;
  for (const std::string& document : run.OpenFileList) {
    if (!FileExists(document)) continue;
    OpenWithShell(document);
    clock.Sleep(100);
  }
}

bool DataToolHasRun(const std::string& fileName, TtsQuery& query) {
  if (Trim(fileName).empty()) return false;
  query.SQL = {"select coalesce(EXECHK, " + QuotedLiteral("N") + ") as EXECHK ", "from TOOLLIST ",
               "where TOOLNAME = " + QuotedLiteral(fileName), "and EXECHK = " + QuotedLiteral("Y")};
  query.OpenQuery();
  return !query.Eof() && query.FieldText(0) == "Y";
}

std::string LatestDataTool(TtsQuery& query, bool executedOnly, bool wantName) {
  query.SQL = {"select " + TopClause(1, KindOf(query)) + " TOOLNAME, VERSION from TOOLLIST ",
               "where (upper(substring(TOOLNAME, 1, 6)) = " + QuotedLiteral("VEROZ4") + " ",
               "or upper(substring(TOOLNAME, 1, 6)) = " + QuotedLiteral("VEROZ5") + ") "};
  if (executedOnly) query.SQL.push_back("and (upper(EXECHK) = " + QuotedLiteral("Y") + ") ");
  query.SQL.push_back("order by VERSION desc ");
  query.SQL.push_back(LimitClause(1, KindOf(query)));
  query.OpenQuery();
  if (query.Eof()) return {};
  return query.FieldText(wantName ? "TOOLNAME" : "VERSION");
}

}  // namespace updater
