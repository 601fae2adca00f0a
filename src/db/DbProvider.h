#pragma once
// The clinic database kind, its settings file, the login records of the constants DLL and the
// providers that open the one connection: SQL Anywhere (local, remote, the host form, with the
// switch-over probe to PostgreSQL) and PostgreSQL (three addresses, two login records).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

// THdbc as the providers use it: driver, login, an attribute list, a connected state.
class DbConnection {
 public:
  virtual ~DbConnection() = default;
  std::string Driver, UserName, Password;
  std::vector<std::string> Attributes;
  // Runs before the statements are closed and the connection goes (the query wrapper's hook).
  std::function<void()> BeforeDisconnect;

  virtual bool Connected() const = 0;
  // Opens with the properties above; throws OdbcError.
  virtual void Connect() = 0;
  virtual void Disconnect() = 0;
  // Disconnects when connected and frees the handle, never raising.
  virtual void Terminate() = 0;
  virtual OdbcResult Run(const std::string& sql) = 0;
};

// The real one, over ODBC; login timeout in seconds so that a dead address fails in seconds.
class OdbcDbConnection final : public DbConnection {
 public:
  explicit OdbcDbConnection(uint32_t loginTimeoutSeconds = 5) : timeout_(loginTimeoutSeconds) {}
  bool Connected() const override { return connection_.Connected(); }
  void Connect() override;
  void Disconnect() override;
  void Terminate() override;
  OdbcResult Run(const std::string& sql) override { return ExecuteStatement(connection_, sql); }

 private:
  uint32_t timeout_;
  OdbcEnvironment environment_;
  OdbcConnection connection_{environment_};
};

// One login record as the constants DLL fills it: two length-prefixed texts of 256 bytes.
struct LoginRecord {
  unsigned char user[256];
  unsigned char password[256];
};
static_assert(sizeof(LoginRecord) == 512);

// The process-wide database state: the kind, the installed SQL Anywhere versions, the login
// records and the last connection that worked.
struct DbState {
  DbmsKind kind = DbmsKind::SqlAnywhere;
  std::array<bool, 2> installed{};  // index 0 "12", 1 "17"
  std::array<bool, 2> installed64{};
  std::array<LoginRecord, 2> records{};
  int lastLoginIndex = -1, lastMode = -1;  // -1: nothing recorded
};
DbState& Db();

std::string DbServerIniPath();
// "DBMSKind" upper-cased: exactly "SYBASE" is SQL Anywhere, any other value PostgreSQL; no file
// is SQL Anywhere.
DbmsKind ReadDbmsKind();
void WriteDbmsKind(const std::string& value);
// A text setting of "Connection Config", the default when the file or the key is missing.
std::string ReadDbSetting(const std::string& key, const std::string& fallback);
void RecordLastConnection();
// Fills both login records from CVLSConst.dll's export; false (after its box) when the DLL or the
// export is missing.
bool LoadLoginRecords(const char* exportName, bool showMessages, Ui& ui, std::array<LoginRecord, 2>& records);
std::string LoginText(const unsigned char* shortString);

class TDbProvider {
 public:
  TDbProvider(Ui& ui, Clock& clock) : ui_(ui), clock_(clock) {}
  virtual ~TDbProvider() = default;
  virtual std::unique_ptr<DbConnection> CreateConnection() { return std::make_unique<OdbcDbConnection>(); }
  bool IsConnected() const { return connection_ && connection_->Connected(); }
  virtual bool Connect() = 0;
  // The provider works on the shared connection; the query wrapper owns it.
  void Use(DbConnection& connection) { connection_ = &connection; }

  std::string EngineName, CommLinks, HostName;
  std::string PgHostIpAddress, PgHostIpAddress2, PgHostName, PgPort, PgPort2;
  std::array<TDBConnection_Info, 2> Entries;

 protected:
  void PreparePgEntries();
  bool TryPgEntries();
  bool TryPgEntry(int entry);
  void ApplyPgAttributes(const TDBConnection_Info& entry, int mode);
  bool Attempt();  // connect, errors swallowed
  Ui& ui_;
  Clock& clock_;
  DbConnection* connection_ = nullptr;
};

class TSybaseProvider final : public TDbProvider {
 public:
  using TDbProvider::TDbProvider;
  bool Connect() override;
  // The running network server's name (empty when none); replaceable for tests.
  std::function<std::string()> FindServer;

 private:
  bool TryEngines(bool remote);
  void PrepareEntries(int version, bool remote);
  bool TryEntry(int version, bool remote, int entry);
  void ApplySybaseAttributes(const TDBConnection_Info& entry, bool hostForm);
  bool ProbePostgreSql();
};

class TPostgreSqlProvider final : public TDbProvider {
 public:
  using TDbProvider::TDbProvider;
  bool Connect() override;
};

std::unique_ptr<TDbProvider> CreateProvider(DbmsKind kind, Ui& ui, Clock& clock);

inline constexpr const char* kSybaseDrivers[2] = {"SQL Anywhere 12", "SQL Anywhere 17"};

}  // namespace updater
