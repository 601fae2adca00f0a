#include "db/Database.h"
#include "db/DbProvider.h"

#include "core/ClientFolders.h"
#include "core/LogMan.h"
#include "core/PathText.h"
#include "db/EngineDetection.h"
#include "db/LoginCipher.h"
#include "platform/FileSystem.h"
#include "platform/ProductDll.h"
#include "platform/Text.h"
#include "platform/Watchdog.h"

namespace updater {
namespace {

constexpr const char* kConstantsDll = "CVLSConst.dll";
using ConstData = void(__stdcall*)(LoginRecord* records, int32_t highestIndex);

// A login text of a record as the program's text: the deciphered bytes are in the system's code
// page, so a Korean user name or password reaches the driver as itself.
std::string Login(const unsigned char* shortString) { return FromAnsi(DecipherLoginText(LoginText(shortString))); }


}  // namespace

// ---- the connection over ODBC ----

OdbcDbConnection::OdbcDbConnection(uint32_t loginTimeoutSeconds, uint32_t statementTimeoutSeconds)
    : timeout_(loginTimeoutSeconds), statementTimeout_(statementTimeoutSeconds), link_(std::make_unique<Link>()) {}

OdbcDbConnection::~OdbcDbConnection() = default;

// The call that did not come back still uses the link: it is left to it, never freed.
void OdbcDbConnection::Abandon() {
  static_cast<void>(link_.release());
  link_ = std::make_unique<Link>();
}

void OdbcDbConnection::Connect() {
  const std::string text = ConnectionString(Driver, UserName, Password, Attributes);
  Link* link = link_.get();
  const uint32_t timeout = timeout_;
  const bool back = RunWithin((timeout_ + kDriverAllowanceSeconds) * 1000, [link, text, timeout] {
    link->connection.Connect(text, timeout);
    try {
      link->connection.SetIsolation(SQL_TXN_READ_UNCOMMITTED);  // the query wrapper's isolation level 1
    } catch (...) {
      link->connection.Terminate();  // not connected means not connected, for the driver too
      throw;
    }
  });
  if (back) return;
  Abandon();
  throw OdbcError("the server did not answer the login within " + std::to_string(timeout_ + kDriverAllowanceSeconds) + " s",
                  "HYT00", 0);
}

OdbcResult OdbcDbConnection::Run(const std::string& sql) {
  auto result = std::make_shared<OdbcResult>();  // outlives this call if the driver does not come back
  Link* link = link_.get();
  const uint32_t timeout = statementTimeout_;
  const uint32_t bound = statementTimeout_ + kDriverAllowanceSeconds;
  if (RunWithin(bound * 1000, [link, sql, timeout, result] { *result = ExecuteStatement(link->connection, sql, timeout); }))
    return std::move(*result);
  if (BeforeDisconnect) BeforeDisconnect();  // the statements go with the connection
  Abandon();
  throw OdbcError("the server did not answer the statement within " + std::to_string(bound) + " s", "HYT00", 0);
}

void OdbcDbConnection::Disconnect() {
  if (!Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect();
  Link* link = link_.get();
  try {
    if (!RunWithin(kDriverAllowanceSeconds * 1000, [link] { link->connection.Disconnect(); })) Abandon();
  } catch (const std::exception&) {
    // Called inside connection sequences, which never raise: the handle is already fresh.
  }
}

void OdbcDbConnection::Terminate() {
  if (Connected() && BeforeDisconnect) BeforeDisconnect();
  Link* link = link_.get();
  try {
    if (!RunWithin(kDriverAllowanceSeconds * 1000, [link] { link->connection.Terminate(); })) Abandon();
  } catch (const std::exception&) {
    Abandon();  // no thread for it: the link is left as it is
  }
}

// ---- settings and login records ----

std::string LoginText(const unsigned char* s) {
  // The length byte counts at most the 255 characters that follow it. An enciphered text is
  // digits only: a length byte larger than its text would add the zero bytes after it, which
  // decipher to characters of their own and make a login that can never work.
  const std::string counted(reinterpret_cast<const char*>(s + 1), s[0]);
  return counted.substr(0, counted.find('\0'));
}

std::unique_ptr<DbConnection> TDbProvider::CreateConnection() {
  return std::make_unique<OdbcDbConnection>(5, db_.StatementTimeoutSeconds);
}

bool LoadLoginRecords(const char* exportName, bool showMessages, Ui& ui, std::array<LoginRecord, 2>& records) {
  ProductDll library;
  if (!library.Load(kConstantsDll) && !library.Load(ExeFolder() + kConstantsDll)) {
    if (showMessages)
      ui.Error(FillFormat("실행모듈(%s)을 찾을 수 없습니다.\r\nCorvel 실행파일이 있는 폴더를 확인해 주시기 바랍니다", {kConstantsDll}));
    return false;
  }
  const auto fill = library.Export<ConstData>(exportName);
  if (!fill) {
    if (showMessages)
      ui.Error(FillFormat("실행모듈(%s)이 잘못되었습니다.\r\n최신 모듈인지 확인해 주시기 바랍니다", {kConstantsDll}));
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
  db_.Settings = ReadDbSettings();
  const DbSettings& s = db_.Settings;
  for (size_t i = 0; i < Entries.size(); ++i) {
    TDBConnection_Info& e = Entries[i];
    e = {};
    e.UserName = Login(db_.Records[i].user);
    e.Password = Login(db_.Records[i].password);
    e.PgHostIpAddress = s.PgHostIpAddress;
    e.PgHostIpAddress2 = s.PgHostIpAddress2;
    e.PgHostName = s.PgHostName;
    e.PgPort = s.PgPort;
    e.PgPort2 = s.PgPort2;
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
  if (!LoadLoginRecords("GetALLDBConstData", true, db_.ui, db_.Records)) return false;
  return TryPgEntries();
}

bool TSybaseProvider::Connect() {
  if (IsConnected()) return true;
  if (!LoadLoginRecords("GetALLDBConstData", true, db_.ui, db_.Records)) return false;
  const bool serverRunning = !(FindServer ? FindServer() : FindRunningNetworkServer()).empty();
  if (serverRunning) return TryEngines(false) || TryEngines(true);
  return TryEngines(true);
}

bool TSybaseProvider::TryEngines(bool remote) {
  for (int version : {1, 0}) {
    if (!db_.Installed[static_cast<size_t>(version)]) continue;
    PrepareEntries(version, remote);
    for (int i = 0; i < 2; ++i)
      if (TryEntry(version, remote, i)) return true;
    return ProbePostgreSql();  // the other version is not tried
  }
  return false;
}

void TSybaseProvider::PrepareEntries(int version, bool remote) {
  db_.Settings = ReadDbSettings();
  const DbSettings& s = db_.Settings;
  for (size_t i = 0; i < Entries.size(); ++i) {
    TDBConnection_Info& e = Entries[i];
    e = {};
    e.Driver = kSybaseDrivers[version];
    e.UserName = Login(db_.Records[i].user);
    e.Password = Login(db_.Records[i].password);
    if (!remote) continue;  // a local attempt names no server
    e.EngineName = s.EngineName;
    e.CommLinks = s.CommLinks;
    e.HostName = s.HostName;
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
    db_.LastLoginIndex = i;
    db_.LastMode = remote ? 1 : 0;
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
  TLogMan log(db_.clock, "AutoDBMSKind", false, LogFolder());
  try {
    // The probe's records are its own: loaded over the SQL Anywhere ones, they would make the
    // remote attempts that follow a failed local probe log in with the PostgreSQL credentials.
    std::array<LoginRecord, 2> records{};
    if (!LoadLoginRecords("GetPgALLDBConstData", true, db_.ui, records)) return false;
    const DbSettings settings = ReadDbSettings();
    TDBConnection_Info probe;
    probe.PgHostIpAddress = settings.PgHostIpAddress;
    probe.PgPort = settings.PgPort;
    for (size_t i = 0; i < 2; ++i) {
      probe.UserName = Login(records[i].user);
      probe.Password = Login(records[i].password);
      ApplyPgAttributes(probe, 0);
      if (!Attempt()) continue;
      const OdbcResult r = connection_->Run(
          "SELECT CASE WHEN EXISTS (\r\n  SELECT\r\n    setupvalue\r\n  FROM\r\n    FOPTION\r\n  WHERE \r\n"
          "    setupsect = 'ClosingResult' AND setupvalue = '완료' \r\n)\r\nTHEN 1 ELSE 0 END");
      if (!r.Eof() && r.Text(0) == "1") {
        // The connection is a PostgreSQL one from here on, whether or not the file could say so;
        // only a switch-over that was written is logged as one.
        db_.Kind = DbmsKind::PostgreSql;
        if (WriteDbmsKind("POSTGRESQL")) log.Write("AutoDBMSKind", "POSTGRESQL 으로 변경");
        return true;
      }
      // Not moved yet: the PostgreSQL connection is closed again rather than left open under a
      // SQL Anywhere kind, where the next statement would run against the wrong database.
      connection_->Terminate();
      if (r.Eof()) continue;
      return false;
    }
  } catch (const std::exception&) {
    // any error inside the probe answers false, silently; the caller decides what
    // shows. A PostgreSQL connection it opened does not stay open under the SQL Anywhere kind.
    connection_->Terminate();
  }
  return false;
}

std::unique_ptr<TDbProvider> CreateProvider(Database& db) {
  if (db.Kind == DbmsKind::PostgreSql) return std::make_unique<TPostgreSqlProvider>(db);
  return std::make_unique<TSybaseProvider>(db);
}

}  // namespace updater
