#include "db/DbProvider.h"

#include "core/ClientFolders.h"
#include "core/LogMan.h"
#include "core/PathText.h"
#include "db/EngineDetection.h"
#include "db/LoginCipher.h"
#include "platform/FileSystem.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr const char* kSection = "Connection Config";
constexpr const char* kConstantsDll = "CVLSConst.dll";
using ConstData = void(__stdcall*)(LoginRecord* records, int32_t highestIndex);

std::string ReplaceFirst(std::string text, const std::string& what, const std::string& with) {
  const size_t at = text.find(what);
  return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

}  // namespace

// ---- the connection over ODBC ----

void OdbcDbConnection::Connect() {
  connection_.Connect(ConnectionString(Driver, UserName, Password, Attributes), timeout_);
  connection_.SetIsolation(SQL_TXN_READ_UNCOMMITTED);  // the query wrapper's isolation level 1
}

void OdbcDbConnection::Disconnect() {
  if (!connection_.Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect();
  connection_.Disconnect();
}

void OdbcDbConnection::Terminate() {
  if (connection_.Connected() && BeforeDisconnect) BeforeDisconnect();
  connection_.Terminate();
}

// ---- settings and login records ----

DbState& Db() {
  static DbState state;
  return state;
}

std::string DbServerIniPath() { return InstallRoot() + "DBServer.ini"; }

std::string ReadDbSetting(const std::string& key, const std::string& fallback) {
  if (!FileExists(DbServerIniPath())) return fallback;
  return ReadIniString(DbServerIniPath(), kSection, key, fallback);
}

DbmsKind ReadDbmsKind() {
  if (!FileExists(DbServerIniPath())) return DbmsKind::SqlAnywhere;
  return ToUpperAscii(ReadDbSetting("DBMSKind", "SYBASE")) == "SYBASE" ? DbmsKind::SqlAnywhere : DbmsKind::PostgreSql;
}

void WriteDbmsKind(const std::string& value) {
  if (!FileExists(DbServerIniPath())) return;
  const std::string missing = "\x01missing";
  const std::string current = ReadIniString(DbServerIniPath(), kSection, "DBMSKind", missing);
  if (current != missing && ToUpperAscii(current) == value) return;
  WriteIniString(DbServerIniPath(), kSection, "DBMSKind", value);
}

void RecordLastConnection() {
  const DbState& db = Db();
  // The profile functions make DBServer.ini when it is missing.
  auto integer = [](const std::string& key) {
    const std::string text = Trim(ReadIniString(DbServerIniPath(), kSection, key, "0"));
    try {
      return std::stoi(text);
    } catch (const std::exception&) {
      return 0;
    }
  };
  if (db.lastMode != -1 && integer("DBMSConnPriorityLastConnectedIndex") != db.lastMode)
    WriteIniString(DbServerIniPath(), kSection, "DBMSConnPriorityLastConnectedIndex", std::to_string(db.lastMode));
  if (db.lastLoginIndex != -1 && std::to_string(integer("DBMSLastConnectedLogInInfoIndex")) != std::to_string(db.lastLoginIndex))
    WriteIniString(DbServerIniPath(), kSection, "DBMSLastConnectedLogInInfoIndex", std::to_string(db.lastLoginIndex));
}

std::string LoginText(const unsigned char* s) {
  // The length byte counts at most the 255 characters that follow it. An enciphered text is
  // digits only: a length byte larger than its text would add the zero bytes after it, which
  // decipher to characters of their own and make a login that can never work.
  const std::string counted(reinterpret_cast<const char*>(s + 1), s[0]);
  return counted.substr(0, counted.find('\0'));
}

bool LoadLoginRecords(const char* exportName, bool showMessages, Ui& ui, std::array<LoginRecord, 2>& records) {
  Library library(::LoadLibraryW(Wide(kConstantsDll).c_str()));
  if (!library) library.Reset(::LoadLibraryW(Wide(ExeFolder() + kConstantsDll).c_str()));
  if (!library) {
    if (showMessages)
      ui.Error(ReplaceFirst("실행모듈(%s)을 찾을 수 없습니다.\r\nCorvel 실행파일이 있는 폴더를 확인해 주시기 바랍니다", "%s", kConstantsDll));
    return false;
  }
  const auto fill = reinterpret_cast<ConstData>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), exportName)));
  if (!fill) {
    if (showMessages)
      ui.Error(ReplaceFirst("실행모듈(%s)이 잘못되었습니다.\r\n최신 모듈인지 확인해 주시기 바랍니다", "%s", kConstantsDll));
    return false;
  }
  records = {};
  fill(records.data(), 1);
  return true;
}

// ---- providers ----

bool TDbProvider::Attempt() {
  try {
    connection_->Connect();
    return true;
  } catch (const std::exception&) {
    return false;  // every failed attempt answers false
  }
}

void TDbProvider::PreparePgEntries() {
  PgHostIpAddress = ReadDbSetting("PGHostIpAddress", "");
  PgHostIpAddress2 = ReadDbSetting("PGHostIpAddress2", "");
  PgHostName = ReadDbSetting("PGHostName", "");
  PgPort = ReadDbSetting("PGPort", "5432");
  PgPort2 = ReadDbSetting("PGPort2", "5432");
  for (size_t i = 0; i < Entries.size(); ++i) {
    TDBConnection_Info& e = Entries[i];
    e.UserName = DecipherLoginText(LoginText(Db().records[i].user));
    e.Password = DecipherLoginText(LoginText(Db().records[i].password));
    e.PgHostIpAddress = PgHostIpAddress;
    e.PgHostIpAddress2 = PgHostIpAddress2;
    e.PgHostName = PgHostName;
    e.PgPort = PgPort;
    e.PgPort2 = PgPort2;
  }
}

void TDbProvider::ApplyPgAttributes(const TDBConnection_Info& entry, int mode) {
  connection_->Driver = kPostgreSqlDriver;
  connection_->UserName = entry.UserName;
  connection_->Password = entry.Password;
  connection_->Attributes = PgAttributes(entry, mode);
}

bool TDbProvider::TryPgEntry(int entry) {
  for (int mode = 0; mode < 3; ++mode) {
    ApplyPgAttributes(Entries[static_cast<size_t>(entry)], mode);
    if (Attempt()) return true;
  }
  return false;
}

bool TDbProvider::TryPgEntries() {
  PreparePgEntries();
  return TryPgEntry(0) || TryPgEntry(1);
}

bool TPostgreSqlProvider::Connect() {
  if (IsConnected()) return true;
  if (!LoadLoginRecords("GetALLDBConstData", true, ui_, Db().records)) return false;
  return TryPgEntries();
}

bool TSybaseProvider::Connect() {
  if (IsConnected()) return true;
  if (!LoadLoginRecords("GetALLDBConstData", true, ui_, Db().records)) return false;
  const bool serverRunning = !(FindServer ? FindServer() : FindRunningNetworkServer()).empty();
  if (serverRunning) return TryEngines(false) || TryEngines(true);
  return TryEngines(true);
}

bool TSybaseProvider::TryEngines(bool remote) {
  for (int version : {1, 0}) {
    if (!Db().installed[static_cast<size_t>(version)]) continue;
    PrepareEntries(version, remote);
    for (int i = 0; i < 2; ++i)
      if (TryEntry(version, remote, i)) return true;
    return ProbePostgreSql();  // the other version is not tried
  }
  return false;
}

void TSybaseProvider::PrepareEntries(int version, bool remote) {
  EngineName = remote ? ReadDbSetting("EngineName", "CVL2000") : "";
  CommLinks = remote ? ReadDbSetting("CommLinks", "tcpip") : "";
  HostName = remote ? ReadDbSetting("HostName", "CVLDB-PC") : "";
  for (size_t i = 0; i < Entries.size(); ++i) {
    TDBConnection_Info& e = Entries[i];
    e.Driver = kSybaseDrivers[version];
    e.UserName = DecipherLoginText(LoginText(Db().records[i].user));
    e.Password = DecipherLoginText(LoginText(Db().records[i].password));
    e.EngineName = EngineName;
    e.CommLinks = CommLinks;
    e.HostName = HostName;
  }
}

void TSybaseProvider::ApplySybaseAttributes(const TDBConnection_Info& entry, bool hostForm) {
  connection_->Disconnect();
  connection_->Driver = entry.Driver;
  connection_->UserName = entry.UserName;
  connection_->Password = entry.Password;
  connection_->Attributes = SybaseAttributes(entry, hostForm);
}

bool TSybaseProvider::TryEntry(int /*version*/, bool remote, int i) {
  auto record = [&] {
    Db().lastLoginIndex = i;
    Db().lastMode = remote ? 1 : 0;
    return true;
  };
  ApplySybaseAttributes(Entries[static_cast<size_t>(i)], false);
  if (Attempt()) return record();
  if (!remote) return false;  // a local attempt is made once
  ApplySybaseAttributes(Entries[static_cast<size_t>(i)], true);
  if (Attempt()) return record();
  return false;
}

bool TSybaseProvider::ProbePostgreSql() {
  TLogMan log(clock_, "AutoDBMSKind", false, LogFolder());
  try {
    // The probe's records are its own: loaded over the SQL Anywhere ones, they would make the
    // remote attempts that follow a failed local probe log in with the PostgreSQL credentials.
    std::array<LoginRecord, 2> records{};
    if (!LoadLoginRecords("GetPgALLDBConstData", true, ui_, records)) return false;
    TDBConnection_Info probe;
    probe.PgHostIpAddress = ReadDbSetting("PGHostIpAddress", "");
    probe.PgPort = ReadDbSetting("PGPort", "5432");
    for (size_t i = 0; i < 2; ++i) {
      probe.UserName = DecipherLoginText(LoginText(records[i].user));
      probe.Password = DecipherLoginText(LoginText(records[i].password));
      ApplyPgAttributes(probe, 0);
      if (!Attempt()) continue;
      const OdbcResult r = connection_->Run(
          "SELECT CASE WHEN EXISTS (\r\n  SELECT\r\n    setupvalue\r\n  FROM\r\n    FOPTION\r\n  WHERE \r\n"
          "    setupsect = 'ClosingResult' AND setupvalue = '완료' \r\n)\r\nTHEN 1 ELSE 0 END");
      if (r.Eof()) continue;
      if (r.Text(0) == "1") {
        WriteDbmsKind("POSTGRESQL");
        log.Write("AutoDBMSKind", "POSTGRESQL 으로 변경");
        return true;
      }
      // Not moved yet: the PostgreSQL connection is closed again rather than left open under a
      // SQL Anywhere kind, where the next statement would run against the wrong database.
      connection_->Disconnect();
      return false;
    }
  } catch (const std::exception&) {
  }
  return false;
}

std::unique_ptr<TDbProvider> CreateProvider(DbmsKind kind, Ui& ui, Clock& clock) {
  if (kind == DbmsKind::PostgreSql) return std::make_unique<TPostgreSqlProvider>(ui, clock);
  return std::make_unique<TSybaseProvider>(ui, clock);
}

}  // namespace updater
