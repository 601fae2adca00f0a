#pragma once
// The login records of the constants DLL and the providers that open the one connection: SQL Anywhere (local, remote, the host form, with the
// switch-over probe to PostgreSQL) and PostgreSQL (three addresses, two login records).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/LoginCipher.h"
#include "db/Odbc.h"
#include "platform/Clock.h"
#include "platform/Ui.h"

namespace updater {

class Database;

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
  // Closes the connection, never raising; a failed disconnect frees the handle.
  virtual void Disconnect() = 0;
  // Disconnects when connected and frees the handle, never raising.
  virtual void Terminate() = 0;
  virtual OdbcResult Run(const std::string& sql) = 0;
};

// What the driver may take beyond its own time-outs before the program stops waiting for it: the
// login time-out does not cover the set-up statements a driver runs after the login, and a server
// that stopped answering (paused, or its network gone) answers no time-out at all.
inline constexpr uint32_t kDriverAllowanceSeconds = 10;

// The real one, over ODBC; login timeout in seconds so that a dead address fails in seconds. Every
// call into the driver is bounded (its time-out plus the allowance); a call that is not back by
// then leaves its connection behind, unusable, and fails like a refused login or a failed
// statement: the next connect starts on a fresh one.
class OdbcDbConnection final : public DbConnection {
 public:
  explicit OdbcDbConnection(uint32_t loginTimeoutSeconds = 5, uint32_t statementTimeoutSeconds = kStatementTimeoutSeconds);
  ~OdbcDbConnection() override;
  bool Connected() const override { return link_->connection.Connected(); }
  void Connect() override;
  void Disconnect() override;
  void Terminate() override;
  OdbcResult Run(const std::string& sql) override;

 private:
  struct Link {
    OdbcEnvironment environment;
    OdbcConnection connection{environment};
  };
  void Abandon();
  uint32_t timeout_, statementTimeout_;
  std::unique_ptr<Link> link_;
};

// Fills both login records from CVLSConst.dll's export; false (after its box) when the DLL or the
// export is missing.
bool LoadLoginRecords(const char* exportName, bool showMessages, Ui& ui, std::array<LoginRecord, 2>& records);
std::string LoginText(const unsigned char* shortString);

class TDbProvider {
 public:
  explicit TDbProvider(Database& db) : db_(db) {}
  virtual ~TDbProvider() = default;
  virtual std::unique_ptr<DbConnection> CreateConnection();
  bool IsConnected() const { return connection_ && connection_->Connected(); }
  virtual bool Connect() = 0;
  // The provider works on the shared connection; the query wrapper owns it.
  void Use(DbConnection& connection) { connection_ = &connection; }

  // The entries of the last connection sequence, one per login record.
  std::array<TDBConnection_Info, 2> Entries;

 protected:
  void PreparePgEntries();
  bool TryPgEntries();
  bool TryPgEntry(int entry);
  void ApplyPgAttributes(const TDBConnection_Info& entry, int mode);
  bool Attempt();  // connect, errors swallowed
  Database& db_;
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

// The provider of the database's kind.
std::unique_ptr<TDbProvider> CreateProvider(Database& db);

inline constexpr const char* kSybaseDrivers[2] = {"SQL Anywhere 12", "SQL Anywhere 17"};

}  // namespace updater
