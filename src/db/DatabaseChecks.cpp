#include "db/DatabaseChecks.h"

#include <stdexcept>

#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "db/TsQuery.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Settings.h"
#include "platform/Text.h"


namespace updater {
namespace {

// A boolean as the component library reads a field: a number counts as true when it is not 0,
// else the words true and false in any letter case; anything else is a conversion error.
bool ToBoolean(const std::string& text) {
  const std::string t = Trim(text);
  if (EqualsIgnoreCase(t, "true")) return true;
  if (EqualsIgnoreCase(t, "false")) return false;
  try {
    size_t used = 0;
    const double v = std::stod(t, &used);
    if (used == t.size()) return v != 0;
  } catch (const std::exception&) {
  }
  throw std::invalid_argument("'" + text + "' is not a valid boolean value");
}

}  // namespace

bool StartupDatabaseGate(bool showMessages, Database& db) {
  const bool ok = CheckDatabaseConnection(showMessages, db);
  // After a switch-over the rest of the run works with PostgreSQL, also when DBServer.ini could
  // not be rewritten.
  if (db.Kind != DbmsKind::PostgreSql) db.Kind = ReadDbmsKind();
  if (!ok) return false;
  CheckDbExport(db);
  return CheckRecoveryMode(db);
}

bool CheckDatabaseConnection(bool showMessages, Database& db) {
  Ui& ui = db.ui;
  auto query = CreateQuery(db);
  if (query->Connect()) {
    db.RecordLastConnection();
    LaunchServerInfoTool();
    return true;
  }
  if (showMessages) {
    const std::string self = OwnExecutablePath();
    if (CheckInternetState(db))
      ui.Error(FillFormat("Corvel 데이터베이스 연결정보가 잘못 설정되어 있거나\r\n데이터베이스 서버가 실행되어 있지 않아 서버와 연결을\r\n"
                                "할 수 없습니다. 프로그램을 종료합니다.\r\r\n - 실행모듈: %1\r\n - 호출모듈(실행모듈 DLL인 경우 참고): %2",
                                {self, self}));
    else
      ui.Error("인터넷 연결상태를 확인하여 주시기 바랍니다.\r\n인터넷 연결상태가 계속해서 원활하지 않을 경우\r\n"
               "인터넷 서비스 공급업체에 문의해 주시기 바랍니다.");
  }
  return false;
}

namespace {

// Named without a folder: the profile functions look in the Windows folder.
bool InternetCheckSwitchedOff() { return ReadIniInteger("CVL2000.ini", "ISINTERNET", "DO NOT CHECK INTERNET", 0) == 1; }

}  // namespace

bool CheckInternetState(const Database& db) {
  if (InternetCheckSwitchedOff()) return true;
  const ConnectionState state = db.ConnectedState();
  return state.answered && !state.offline;
}

bool InternetAvailable(const Database& db) { return InternetCheckSwitchedOff() || !db.ConnectedState().offline; }

void LaunchServerInfoTool() {
  const std::string path = FileExists("Pellan.exe") ? "Pellan.exe" : ToolFolder() + "Pellan.exe";
  if (!FileExists(path)) return;
  // Hidden, not waited for, not checked: the path as it is, then the tool's own file name quoted.
  StartProgram(CommandPath(path) + " \"" + FileNamePart(OwnExecutablePath()) + "\"", StartMode::Hidden);
}

bool CheckDbExport(Database& db) {
  if (db.Kind == DbmsKind::PostgreSql) return false;
  auto query = CreateQuery(db);
  query->SQL = {"", "SELECT IF EXISTS (", "  SELECT", "    *", "  FROM", "    FOPTION", "  WHERE ",
                "    SETUPROOM = 'FINALE' and SETUPUSER = 'FINALE' and  ", "    SETUPSECT = 'DB Export' and ",
                "    SETUPVALUE LIKE 'Begin_%' ", ")", "THEN 1 ELSE 0", "ENDIF"};
  query->OpenQuery();
  return !query->Eof() && query->FieldText(0) == "1";
}

bool CheckRecoveryMode(Database& db) {
  if (db.Kind == DbmsKind::SqlAnywhere) return true;
  auto query = CreateQuery(db);
  query->SQL = {"SELECT not pg_is_in_recovery() AS IsMaster"};
  query->OpenQuery();
  if (query->Eof()) return true;
  if (!ToBoolean(query->FieldText("IsMaster"))) throw std::runtime_error("DB가 복구모드입니다.");
  return true;
}

}  // namespace updater
