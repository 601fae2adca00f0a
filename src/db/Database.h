#pragma once
// The clinic database as the program knows it: one object, made at the program entry and handed
// to the start-up gate and to every query object. It holds the settings of DBServer.ini, the kind,
// the installed SQL Anywhere versions, the login records, the last connection that worked, and
// the one provider and connection that every query object shares: made with the first query
// object, freed with the last.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/LogMan.h"
#include "db/Dialect.h"
#include "db/LoginCipher.h"
#include "platform/Clock.h"
#include "platform/Handles.h"
#include "platform/Network.h"
#include "platform/ProductDll.h"
#include "platform/Ui.h"

namespace updater {

class TDbProvider;
class DbConnection;
class TtsQuery;

// "Connection Config" of DBServer.ini, with the defaults of a missing file or key.
struct DbSettings {
  std::string EngineName = "CVL2000", CommLinks = "tcpip", HostName = "CVLDB-PC";
  std::string PgHostIpAddress, PgHostIpAddress2, PgHostName, PgPort = "5432", PgPort2 = "5432";
};
std::string DbServerIniPath();
DbSettings ReadDbSettings();
// "DBMSKind" upper-cased: exactly "SYBASE" is SQL Anywhere, any other value PostgreSQL; no file
// is SQL Anywhere.
DbmsKind ReadDbmsKind();
// True when DBServer.ini says the value afterwards; a missing file is not made.
bool WriteDbmsKind(const std::string& value);

// The key (32 characters) and initialisation vector (16) of the protected columns.
inline constexpr const char* kColumnKey = "Cvl2000#Clinic&ProtectedColumn!1";
inline constexpr const char* kColumnIv = "Cvl2000#IV#2024!";

// The server-information program shares the query code but swallows a failed statement.
bool IsServerInfoProgram(const std::string& executablePath);

class Database {
 public:
  // swallowFailedStatements: decided once, here, for every statement of the process.
  Database(Ui& ui, Clock& clock, bool swallowFailedStatements = false);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Program start: the kind from DBServer.ini and, for SQL Anywhere, the installed versions.
  void Prepare();
  // Writes the last connection that worked into DBServer.ini, where it differs.
  void RecordLastConnection() const;
  // Deciphers through CVLCrypto.dll (loaded at the first use, kept to the end); empty when the
  // DLL, its export or the deciphering fails.
  std::string DecryptColumnText(const std::string& text);

  Ui& ui;
  Clock& clock;
  const bool SwallowFailedStatements;
  DbSettings Settings;  // read again at each connection sequence
  DbmsKind Kind = DbmsKind::SqlAnywhere;
  std::array<bool, 2> Installed{};  // index 0 "12", 1 "17"
  std::array<bool, 2> Installed64{};
  std::array<LoginRecord, 2> Records{};
  int LastLoginIndex = -1, LastMode = -1;  // -1: nothing recorded
  uint32_t StatementTimeoutSeconds;  // kStatementTimeoutSeconds; shorter only in tests
  // What the system says of the PC's connection (WinINet); replaced in tests, where the system
  // cannot be made to answer offline. Every "online?" of the run asks it.
  std::function<ConnectionState()> ConnectedState;

 private:
  friend class TtsQuery;
  std::vector<TtsQuery*> queries_;
  // Made and freed by the query wrapper (shared: freed by the deleter of their own module).
  std::shared_ptr<TDbProvider> provider_;
  std::shared_ptr<DbConnection> connection_;
  std::unique_ptr<TLogMan> errorLog_;
  bool reconnecting_ = false;  // a lost connection while the others reopen is not retried again
  ProductDll crypto_;
};

}  // namespace updater
