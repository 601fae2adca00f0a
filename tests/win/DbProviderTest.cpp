// The providers' attempt sequences, told by the connection strings that reach the stand-in driver
// through Wine's odbc32 and unixODBC, with the constants DLL double handing over the login records.
#include <gtest/gtest.h>

#include "db/Database.h"
#include "Harness.h"
#include "core/PathText.h"
#include "db/DatabaseChecks.h"
#include "db/DbProvider.h"
#include "db/TsQuery.h"
#include "app/RunReport.h"
#include "platform/Network.h"
#include "platform/Http.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

// The stand-in driver's folder: the script it answers from and the record of what it was asked.
class StandIn {
 public:
  StandIn() {
    std::string unix = EnvironmentValue("UPDATER_STANDIN");
    for (char& c : unix)
      if (c == '/') c = '\\';
    folder_ = "Z:" + unix + "\\";
  }
  bool Present() const { return folder_ != "Z:\\"; }
  const std::string& Folder() const { return folder_; }
  // Replaces the script and forgets what was recorded.
  void Script(const std::string& lines) const {
    WriteFileBytes(folder_ + "script", lines);
    ::DeleteFileW(Wide(folder_ + "record").c_str());
  }
  // The recorded lines of one kind ("connect", "statement", "attribute", "disconnect"), without it.
  std::vector<std::string> Recorded(const std::string& kind) const {
    std::vector<std::string> out;
    for (const std::string& line : Lines(ReadFileBytes(folder_ + "record")))
      if (line.rfind(kind + "\t", 0) == 0) out.push_back(line.substr(kind.size() + 1));
    return out;
  }

 private:
  std::string folder_;
};

class Providers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(standIn.Present()) << "UPDATER_STANDIN is not set: run these tests through ctest";
    standIn.Script("");
    MakeFolders("D:\\CVL2000\\Exe");
    ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
    // User1's length byte counts four zero bytes past its text: the login is still "dba2".
    WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini",
                   "[GetALLDBConstData]\r\nUser0=dba\r\nPassword0=sql\r\nUser1=dba2\r\nUser1Pad=4\r\nPassword1=sql2\r\n"
                   "[GetPgALLDBConstData]\r\nUser0=pg\r\nPassword0=pgpw\r\nUser1=pg2\r\nPassword1=pgpw2\r\n");
  }
  bool Sybase(bool serverRunning, std::array<bool, 2> installed) {
    db.Installed = installed;
    TSybaseProvider provider(db);
    provider.FindServer = [serverRunning] { return serverRunning ? std::string("CVL2000") : std::string(); };
    provider.Use(connection);
    return provider.Connect();
  }
  StandIn standIn;
  CleanInstallRoots clean;
  ScriptedUi ui;
  FakeClock clock;
  // A failed statement is swallowed only in the server-information program (a test below runs as one).
  Database db{ui, clock, IsServerInfoProgram(OwnExecutablePath())};
  OdbcDbConnection connection;
};

const std::string kTail = "AutoStop=Yes;Integrated=No;Debug=No;DisableMultiRowFetch=No;PrefetchBuffer=2M;PrefetchRows=200;";
std::string Remote(const char* user, const char* password, const char* driver, bool host) {
  return std::string("UID=") + user + ";PWD=" + password + ";DRIVER=" + driver + ";Delphi=Yes;Server=;EngineName=CVL2000;" +
         (host ? "Host=CVLDB-PC:2638;" : "CommLinks=tcpip;") + kTail;
}
std::string Local(const char* user, const char* password) {
  return std::string("UID=") + user + ";PWD=" + password + ";DRIVER=SQL Anywhere 17;Delphi=Yes;";
}
std::string Probe(const char* user, const char* password) {
  return std::string("UID=") + user + ";PWD=" + password +
         ";DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;Server=;Port=5432;";
}

}  // namespace

TEST_F(Providers, TheKindComesFromTheSettingsFile) {
  EXPECT_EQ(ReadDbmsKind(), DbmsKind::SqlAnywhere);  // no DBServer.ini
  struct Row { const char* file; DbmsKind kind; };
  const Row rows[] = {
      {"[Connection Config]\r\nDBMSKind=SYBASE\r\n", DbmsKind::SqlAnywhere},
      {"[Connection Config]\r\nDBMSKind=sybase\r\n", DbmsKind::SqlAnywhere},
      {"[Connection Config]\r\n", DbmsKind::SqlAnywhere},  // the key missing: its default
      {"[Connection Config]\r\nDBMSKind=\r\n", DbmsKind::PostgreSql},
      {"[Connection Config]\r\nDBMSKind=POSTGRESQL\r\n", DbmsKind::PostgreSql},
      {"[Connection Config]\r\nDBMSKind= sybase x;;\xFF\r\n", DbmsKind::PostgreSql},
      {"garbage without sections", DbmsKind::SqlAnywhere},
  };
  for (const Row& row : rows) {
    WriteFileBytes("D:\\CVL2000\\DBServer.ini", row.file);
    EXPECT_EQ(ReadDbmsKind(), row.kind) << row.file;
  }
}

TEST_F(Providers, SqlAnywhereSequencesByTheirConnectionStrings) {
  struct Row {
    const char* what;
    bool serverRunning;
    std::array<bool, 2> installed;
    std::vector<std::string> expected;
    const char* ini = nullptr;  // DBServer.ini, none when null
  };
  const std::vector<std::string> remote17 = {Remote("dba", "sql", "SQL Anywhere 17", false), Remote("dba", "sql", "SQL Anywhere 17", true),
                                             Remote("dba2", "sql2", "SQL Anywhere 17", false),
                                             Remote("dba2", "sql2", "SQL Anywhere 17", true)};
  const std::vector<std::string> probe = {Probe("pg", "pgpw"), Probe("pg2", "pgpw2")};
  auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const Row rows[] = {
      {"no server, 17 installed: remote, each record with CommLinks then the host form, then the probe", false, {false, true},
       join({remote17, probe})},
      {"both installed: only 17", false, {true, true}, join({remote17, probe})},
      {"only 12", false, {true, false},
       join({{Remote("dba", "sql", "SQL Anywhere 12", false), Remote("dba", "sql", "SQL Anywhere 12", true),
              Remote("dba2", "sql2", "SQL Anywhere 12", false), Remote("dba2", "sql2", "SQL Anywhere 12", true)},
             probe})},
      {"a running server: local first, then remote, the probe after each", true, {false, true},
       join({{Local("dba", "sql"), Local("dba2", "sql2")}, probe, remote17, probe})},
      {"nothing installed: nothing tried", false, {false, false}, {}},
      {"remote with an empty engine name: only Delphi=Yes, both forms alike", false, {false, true},
       join({{Local("dba", "sql"), Local("dba", "sql"), Local("dba2", "sql2"), Local("dba2", "sql2")}, probe}),
       "[Connection Config]\r\nEngineName=\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    standIn.Script("");
    ::DeleteFileW(L"D:\\CVL2000\\DBServer.ini");
    if (row.ini) WriteFileBytes("D:\\CVL2000\\DBServer.ini", row.ini);
    EXPECT_FALSE(Sybase(row.serverRunning, row.installed));
    EXPECT_EQ(standIn.Recorded("connect"), row.expected);
    // Every attempt reaches the driver with the login timeout (SQL_ATTR_LOGIN_TIMEOUT), nothing else.
    EXPECT_EQ(standIn.Recorded("attribute"), std::vector<std::string>(row.expected.size(), "103=5"));
    EXPECT_EQ(db.LastMode, -1);
  }
}

TEST_F(Providers, TheFirstAttemptThatConnectsIsRecorded) {
  standIn.Script("connect\tHost=CVLDB-PC:2638\taccept\n");
  EXPECT_TRUE(Sybase(false, {false, true}));
  // Record 0 with CommLinks, then the host form, which connects; the isolation level follows.
  EXPECT_EQ(standIn.Recorded("connect"), (std::vector<std::string>{Remote("dba", "sql", "SQL Anywhere 17", false),
                                                                   Remote("dba", "sql", "SQL Anywhere 17", true)}));
  EXPECT_EQ(standIn.Recorded("attribute").back(), "108=1");  // SQL_ATTR_TXN_ISOLATION, read uncommitted
  EXPECT_EQ(db.LastLoginIndex, 0);
  EXPECT_EQ(db.LastMode, 1);
  db.RecordLastConnection();  // makes DBServer.ini when it has something to write
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\DBServer.ini").substr(0, 19), "[Connection Config]");
}

TEST_F(Providers, TheProbeSwitchesOnlyAMovedClinicAndClosesEveryOtherConnection) {
  const std::string check =
      "SELECT CASE WHEN EXISTS (\\r\\n  SELECT\\r\\n    setupvalue\\r\\n  FROM\\r\\n    FOPTION\\r\\n  WHERE \\r\\n"
      "    setupsect = 'ClosingResult' AND setupvalue = '완료' \\r\\n)\\r\\nTHEN 1 ELSE 0 END";
  struct Row {
    const char* what;
    std::string script;
    bool answer;
    DbmsKind fileKind, memoryKind;
    size_t statements = 1;
    bool ini = true, logged = false;
  };
  const std::string pg = "connect\tPostgreSQL UNICODE\taccept\n";
  const Row rows[] = {
      {"moved", pg + "statement\tClosingResult\trows\tc\t1\n", true, DbmsKind::PostgreSql, DbmsKind::PostgreSql, 1, true, true},
      {"not moved yet: the PostgreSQL connection does not stay open", pg + "statement\tClosingResult\trows\tc\t0\n", false,
       DbmsKind::SqlAnywhere, DbmsKind::SqlAnywhere},
      {"the first probe login refused, the second moved",
       "connect\tUID=pg;\trefuse\t28000\tpassword authentication failed\n" + pg + "statement\tClosingResult\trows\tc\t1\n", true,
       DbmsKind::PostgreSql, DbmsKind::PostgreSql, 1, true, true},
      {"the check fails: false, and the connection closed", pg + "statement\tClosingResult\terror\t42P01\trelation does not exist\n",
       false, DbmsKind::SqlAnywhere, DbmsKind::SqlAnywhere},
      {"no row: the next login is tried", pg + "statement\tClosingResult\trows\tc\n", false, DbmsKind::SqlAnywhere,
       DbmsKind::SqlAnywhere, 2},
      {"moved, but no DBServer.ini to say so: PostgreSQL in memory, no switch logged", pg + "statement\tClosingResult\trows\tc\t1\n",
       true, DbmsKind::SqlAnywhere, DbmsKind::PostgreSql, 1, false, false},
  };
  const std::string autoLog = "D:\\CVL2000\\Log\\AutoDBMSKindLog250724.log";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ::DeleteFileW(Wide(autoLog).c_str());
    ::DeleteFileW(L"D:\\CVL2000\\DBServer.ini");
    if (row.ini) WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=SYBASE\r\n");
    db.Kind = DbmsKind::SqlAnywhere;
    standIn.Script(row.script);
    EXPECT_EQ(Sybase(false, {false, true}), row.answer);
    EXPECT_EQ(connection.Connected(), row.answer);
    EXPECT_EQ(ReadDbmsKind(), row.fileKind);
    EXPECT_EQ(db.Kind, row.memoryKind);
    EXPECT_EQ(standIn.Recorded("statement"), std::vector<std::string>(row.statements, check));
    EXPECT_EQ(ReadCp949File(autoLog).find("POSTGRESQL 으로 변경") != std::string::npos, row.logged);
    connection.Disconnect();
  }
}

TEST_F(Providers, PostgreSqlTriesThreeAddressesPerRecord) {
  db.Kind = DbmsKind::PostgreSql;
  TPostgreSqlProvider provider(db);
  provider.Use(connection);
  EXPECT_FALSE(provider.Connect());  // every address setting empty: six attempts all the same
  std::vector<std::string> tried = standIn.Recorded("connect");
  ASSERT_EQ(tried.size(), 6u);
  EXPECT_EQ(tried[0], "UID=dba;PWD=sql;DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;Server=;Port=5432;");
  EXPECT_EQ(tried[3].substr(0, 21), "UID=dba2;PWD=sql2;DRI");

  WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                 "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGHostName=clinic-db\r\n"
                 "PGHostIpAddress2=127.0.0.2\r\nPGPort2=5433\r\n");
  standIn.Script("connect\tUID=dba2;PWD=sql2;DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;Server=127.0.0.2;Port=5433;\taccept\n");
  EXPECT_TRUE(provider.Connect());
  tried = standIn.Recorded("connect");
  const std::vector<std::string> servers = {"Server=127.0.0.1;Port=5432;", "Server=clinic-db;Port=5432;", "Server=127.0.0.2;Port=5433;"};
  ASSERT_EQ(tried.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_NE(tried[i].find(servers[i % 3]), std::string::npos) << tried[i];
}

// A statement while the server cannot be reached fails with its own error: one log entry, one
// connection sequence (its boxes once), no reconnect.
TEST_F(Providers, AStatementAfterAFailedConnectFailsOnce) {
  db.Installed = {false, true};
  ::DeleteFileW(L"D:\\CVL2000\\Exe\\CVLSConst.dll");  // every sequence shows the constants box
  {
    auto q = CreateQuery(db);
    q->SQL = {"SELECT 1"};
    EXPECT_THROW(q->OpenQuery(), std::runtime_error);
  }
  EXPECT_EQ(ui.errors.size(), 1u);
  ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
  {
    auto q = CreateQuery(db);
    q->SQL = {"SELECT 1"};
    EXPECT_THROW(q->ExecQuery(), std::runtime_error);
  }
  // One remote sequence (two records, two forms each) and the probe's two logins, once.
  EXPECT_EQ(standIn.Recorded("connect").size(), 6u);
  EXPECT_TRUE(standIn.Recorded("statement").empty());
  const std::string log = ReadCp949File("D:\\CVL2000\\Log\\QueryErrorErrLog250724.log");
  size_t entries = 0;
  for (size_t at = 0; (at = log.find("Connection not open", at)) != std::string::npos; ++at) ++entries;
  EXPECT_EQ(entries, 2u) << log;
  EXPECT_NE(log.find("[ExecSQL] Connection not open"), std::string::npos);
}

// SQL Anywhere's own text for a dropped connection: one log entry, one reconnect, the statement
// made once more, and the caller sees the rows.
TEST_F(Providers, ALostSqlAnywhereConnectionIsReconnectedOnce) {
  db.Installed = {false, true};
  standIn.Script("connect\tCommLinks=tcpip\taccept\n"
                 "once-statement\tFROM PCINFO\terror\t08S01\tConnection was terminated\n"
                 "statement\tFROM PCINFO\trows\tIP,NAME\t10.1.2.3,접수1\n");
  {
    auto q = CreateQuery(db);
    EXPECT_FALSE(q->IsPostgreSql());
    q->SQL = {"SELECT " + TopClause(1, DbmsKind::SqlAnywhere) + " IP, NAME FROM PCINFO WHERE NAME = " + QuotedLiteral("O'Neil")};
    q->OpenQuery();
    EXPECT_EQ(q->FieldText("ip"), "10.1.2.3");
    EXPECT_EQ(q->FieldText("NAME"), "접수1");
  }
  const std::string sql = "SELECT TOP 1 IP, NAME FROM PCINFO WHERE NAME = 'O''Neil'";
  EXPECT_EQ(standIn.Recorded("statement"), (std::vector<std::string>{sql, sql}));
  EXPECT_EQ(standIn.Recorded("connect").size(), 2u);  // the first connection and the reconnect
  const std::string log = ReadCp949File("D:\\CVL2000\\Log\\QueryErrorErrLog250724.log");
  EXPECT_NE(log.find("Connection was terminated"), std::string::npos) << log;
  EXPECT_EQ(log.find("Connection was terminated"), log.rfind("Connection was terminated"));
}

// An exec statement that met a lost connection is made once more on the new one, not opened.
TEST_F(Providers, AnExecThatMetALostConnectionIsMadeOnceMore) {
  db.Installed = {false, true};
  standIn.Script("connect\tCommLinks=tcpip\taccept\n"
                 "once-statement\tUPDATE TOOLLIST\terror\t08S01\tConnection was terminated\n");
  {
    auto q = CreateQuery(db);
    q->SQL = {"UPDATE TOOLLIST SET EXECHK = 'Y'"};
    q->ExecQuery();
    EXPECT_FALSE(q->Active());
  }
  EXPECT_EQ(standIn.Recorded("statement"), (std::vector<std::string>(2, "UPDATE TOOLLIST SET EXECHK = 'Y'")));
  EXPECT_EQ(standIn.Recorded("connect").size(), 2u);
  const std::string log = ReadCp949File("D:\\CVL2000\\Log\\QueryErrorErrLog250724.log");
  EXPECT_NE(log.find("[ExecSQL] Connection was terminated"), std::string::npos) << log;
  EXPECT_EQ(log.find("Connection was terminated"), log.rfind("Connection was terminated"));
}

// A failed statement is raised, except in the server-information program, which shares the query
// code: this test runs once more as a copy of itself named Pellan.exe.
TEST_F(Providers, AFailedStatementIsSwallowedOnlyInsidePellan) {
  const bool insidePellan = EqualsIgnoreCase(FileNamePart(OwnExecutablePath()), "pellan.exe");
  db.Installed = {false, true};
  standIn.Script("connect\t*\taccept\nstatement\t*\terror\t42000\tSyntax error near 'SELEC'\n");
  {
    auto q = CreateQuery(db);
    q->SQL = {"SELEC 1"};
    if (insidePellan) {
      EXPECT_NO_THROW(q->OpenQuery());
      return;
    }
    EXPECT_THROW(q->OpenQuery(), std::runtime_error);
  }
  const std::string copy = BuildFolder() + "Pellan.exe";
  ASSERT_TRUE(::CopyFileW(Wide(OwnExecutablePath()).c_str(), Wide(copy).c_str(), FALSE));
  // The copy's result is this test's own: it writes no result file of its own.
  const std::string results = EnvironmentValue("GTEST_OUTPUT");
  ::SetEnvironmentVariableW(L"GTEST_OUTPUT", nullptr);
  const ChildResult child = RunProgram("\"" + copy + "\" --gtest_filter=Providers.AFailedStatementIsSwallowedOnlyInsidePellan");
  if (!results.empty()) ::SetEnvironmentVariableW(L"GTEST_OUTPUT", Wide(results).c_str());
  ::DeleteFileW(Wide(copy).c_str());
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0u);
  EXPECT_EQ(standIn.Recorded("statement"), std::vector<std::string>{"SELEC 1"});  // the child ran it too
}

// The start-up gate under SQL Anywhere: a fresh connection for the connection check and another
// for the export query; a marker of a running export does not stop the tool.
TEST_F(Providers, TheGateUnderSqlAnywhereConnectsTwice) {
  db.Installed = {false, true};
  for (const char* marker : {"0", "1"}) {
    SCOPED_TRACE(marker);
    standIn.Script(std::string("connect\t*\taccept\nstatement\tDB Export\trows\tc\t") + marker + "\n");
    EXPECT_TRUE(StartupDatabaseGate(true, db));
    EXPECT_TRUE(ui.errors.empty());
    std::vector<std::string> kinds;
    for (const std::string& line : Lines(ReadFileBytes(standIn.Folder() + "record")))
      if (line.rfind("attribute", 0) != 0) kinds.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(kinds, (std::vector<std::string>{"connect", "disconnect", "connect", "statement", "disconnect"}));
    EXPECT_EQ(standIn.Recorded("statement"),
              std::vector<std::string>{"\\r\\nSELECT IF EXISTS (\\r\\n  SELECT\\r\\n    *\\r\\n  FROM\\r\\n    FOPTION\\r\\n  WHERE \\r\\n"
                                       "    SETUPROOM = 'FINALE' and SETUPUSER = 'FINALE' and  \\r\\n    SETUPSECT = 'DB Export' and \\r\\n"
                                       "    SETUPVALUE LIKE 'Begin_%' \\r\\n)\\r\\nTHEN 1 ELSE 0\\r\\nENDIF"});
  }
}

// The gate under PostgreSQL: a connection for the check, another for the recovery question, and no
// export query; the answer decides, and an answer that is no boolean is a conversion error.
TEST_F(Providers, TheGateUnderPostgreSqlAsksOnlyAboutRecovery) {
  struct Row {
    const char* value;
    bool passes;
    const char* error;
  };
  const Row rows[] = {
      {"1", true, nullptr}, {"true", true, nullptr}, {"TRUE", true, nullptr}, {"-1", true, nullptr},
      {"0", false, "DB가 복구모드입니다."}, {"false", false, "DB가 복구모드입니다."},
      {"maybe", false, "'maybe' is not a valid boolean value"},
  };
  WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    standIn.Script(std::string("connect\t*\taccept\nstatement\tpg_is_in_recovery\trows\tIsMaster\t") + row.value + "\n");
    db.Prepare();
    if (row.passes) {
      EXPECT_TRUE(StartupDatabaseGate(true, db));
    } else {
      try {
        StartupDatabaseGate(true, db);
        ADD_FAILURE() << "the gate passed";
      } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), row.error);
      }
    }
    std::vector<std::string> kinds;
    for (const std::string& line : Lines(ReadFileBytes(standIn.Folder() + "record")))
      if (line.rfind("attribute", 0) != 0) kinds.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(kinds, (std::vector<std::string>{"connect", "disconnect", "connect", "statement", "disconnect"}));
    EXPECT_EQ(standIn.Recorded("statement"), std::vector<std::string>{"SELECT not pg_is_in_recovery() AS IsMaster"});
  }
  EXPECT_TRUE(ui.errors.empty());
}

// What worked is written into DBServer.ini as its two indexes, and only where they differ.
TEST_F(Providers, TheLastConnectionIsRecordedByItsValues) {
  struct Row {
    const char* what;
    int mode, login;
    const char* before;
    const char* priority;  // DBMSConnPriorityLastConnectedIndex afterwards, null when absent
    const char* record;    // DBMSLastConnectedLogInInfoIndex afterwards
  };
  const Row rows[] = {
      {"a remote success with record 0", 1, 0, "DBMSLastConnectedLogInInfoIndex=1\r\n", "1", "0"},
      {"a local success with record 1", 0, 1, "DBMSConnPriorityLastConnectedIndex=1\r\n", "0", "1"},
      // A missing key reads as 0: recording 0 there writes nothing.
      {"a local success with record 0 on a fresh file", 0, 0, "", nullptr, nullptr},
      {"nothing connected: nothing written", -1, -1, "", nullptr, nullptr},
      {"equal values are not rewritten (their spelling stays)", 1, 0,
       "DBMSConnPriorityLastConnectedIndex=01\r\nDBMSLastConnectedLogInInfoIndex=00\r\n", "01", "00"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteFileBytes("D:\\CVL2000\\DBServer.ini", std::string("[Connection Config]\r\n") + row.before);
    db.LastMode = row.mode;
    db.LastLoginIndex = row.login;
    db.RecordLastConnection();
    auto read = [](const char* key) {
      wchar_t value[64] = L"\x1";
      ::GetPrivateProfileStringW(L"Connection Config", Wide(key).c_str(), L"\x1", value, 64, L"D:\\CVL2000\\DBServer.ini");
      return Narrow(value);
    };
    EXPECT_EQ(read("DBMSConnPriorityLastConnectedIndex"), row.priority ? row.priority : "\x1");
    EXPECT_EQ(read("DBMSLastConnectedLogInInfoIndex"), row.record ? row.record : "\x1");
  }
}

// A server that cannot be reached gets the internet box when the PC is offline, else the database
// box; "DO NOT CHECK INTERNET" is an integer ("01" switches the check off too).
TEST_F(Providers, TheUnreachableServerBoxFollowsTheInternetState) {
  const std::string offline = "인터넷 연결상태를 확인하여 주시기 바랍니다.\r\n인터넷 연결상태가 계속해서 원활하지 않을 경우\r\n"
                              "인터넷 서비스 공급업체에 문의해 주시기 바랍니다.";
  const std::string database = "Corvel 데이터베이스 연결정보가 잘못 설정되어 있거나";
  struct Row {
    const char* ini;  // CVL2000.ini in the Windows folder, none when null
    bool online;
    bool offlineBox;
  };
  const Row rows[] = {
      {nullptr, false, true}, {nullptr, true, false}, {"DO NOT CHECK INTERNET=1", false, false},
      {"DO NOT CHECK INTERNET=01", false, false}, {"DO NOT CHECK INTERNET=0", false, true},
  };
  WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.ini ? row.ini : "no CVL2000.ini") + (row.online ? ", online" : ", offline"));
    ::DeleteFileW(L"C:\\windows\\CVL2000.ini");
    if (row.ini) WriteFileBytes("C:\\windows\\CVL2000.ini", std::string("[ISINTERNET]\r\n") + row.ini + "\r\n");
    db.ConnectedState = [&row] { return ConnectionState{true, !row.online}; };
    ui.errors.clear();
    db.Prepare();
    EXPECT_FALSE(StartupDatabaseGate(true, db));
    ASSERT_EQ(ui.errors.size(), 1u);
    if (row.offlineBox) EXPECT_EQ(ui.errors[0], offline);
    else EXPECT_EQ(ui.errors[0].rfind(database, 0), 0u) << ui.errors[0];
  }
  ::DeleteFileW(L"C:\\windows\\CVL2000.ini");
}

TEST_F(Providers, AMissingOrWrongConstantsDllShowsItsBox) {
  ::DeleteFileW(L"D:\\CVL2000\\Exe\\CVLSConst.dll");
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", true, ui, db.Records));
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], "실행모듈(CVLSConst.dll)을 찾을 수 없습니다.\r\nCorvel 실행파일이 있는 폴더를 확인해 주시기 바랍니다");
  ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst_noexports.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", true, ui, db.Records));
  ASSERT_EQ(ui.errors.size(), 2u);
  EXPECT_EQ(ui.errors[1], "실행모듈(CVLSConst.dll)이 잘못되었습니다.\r\n최신 모듈인지 확인해 주시기 바랍니다");
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", false, ui, db.Records));
  EXPECT_EQ(ui.errors.size(), 2u);  // without messages, no box
}

namespace {

// The web services double's folder, its requests, and how it answers the report.
struct WebDouble {
  std::string folder;
  WebDouble() {
    std::string unix = EnvironmentValue("UPDATER_HTTPDIR");
    for (char& c : unix)
      if (c == '/') c = '\\';
    folder = unix.empty() ? "" : "Z:" + unix + "\\";
  }
  void Answer(const std::string& mode) const {
    WriteFileBytes(folder + "mode", mode);
    ::DeleteFileW(Wide(folder + "record").c_str());
  }
  // Method, path, content type and body bytes of each request.
  std::vector<std::vector<std::string>> Requests() const {
    std::vector<std::vector<std::string>> out;
    for (const std::string& line : Lines(ReadFileBytes(folder + "record"))) {
      std::vector<std::string> fields;
      for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
      }
      std::string bytes;
      for (size_t i = 0; i + 1 < fields.back().size(); i += 2) bytes += static_cast<char>(std::stoi(fields.back().substr(i, 2), nullptr, 16));
      fields.back() = bytes;
      out.push_back(fields);
    }
    return out;
  }
};

}  // namespace

// The report's body, cut in bytes of the code page, never inside a Korean character.
TEST(RunReport, TheBodyIsCutInBytesWithoutSplittingACharacter) {
  struct Row {
    std::string name, value;
    size_t nameBytes, valueBytes;
  };
  std::string korean30, korean1000;
  for (int i = 0; i < 30; ++i) korean30 += "가";
  for (int i = 0; i < 1000; ++i) korean1000 += "나";
  const Row rows[] = {
      {"CvlUpdaterErrLog", "x/y", 16, 3},
      {korean30, "v", 50, 1},               // 60 bytes: 25 characters
      {"a" + korean30, "v", 49, 1},         // 61 bytes: the 25th character would be split
      {std::string(49, 'n'), "v", 49, 1},   // below 50: as it is
      {"n", korean1000 + "x", 1, 2001},     // 1001 characters: not cut, though 2001 bytes
      {"n", std::string(1999, 'v'), 1, 1999},
      {"n", std::string(2000, 'v'), 1, 2000},
      {"n", "v" + korean1000 + korean1000, 1, 1999},  // 2001 characters: cut to 2000 bytes, not inside one
  };
  for (const Row& row : rows) {
    const std::string body = RunReportBody(row.name, row.value);
    const size_t amp = body.find("&barType=");
    ASSERT_EQ(body.rfind("yoyangNum=", 0), 0u);
    ASSERT_NE(amp, std::string::npos);
    EXPECT_EQ(amp - 10, row.nameBytes) << row.name;
    EXPECT_EQ(body.size() - amp - 9, row.valueBytes);
    EXPECT_EQ(FromAnsi(body.substr(10, amp - 10)), row.name.substr(0, FromAnsi(body.substr(10, amp - 10)).size()));
  }
}

// The run report under SQL Anywhere, through the stand-in driver and the web services double.
TEST_F(Providers, TheRunReportPostsItsFormBodyByteForByte) {
  const WebDouble web;
  if (web.folder.empty()) GTEST_SKIP() << "no web services double: scripts/test starts one";
  db.Installed = {false, true};
  standIn.Script("connect\t*\taccept\n"
                 "statement\tPROPERTY('MachineName')\trows\tm\tclinic-db\n"
                 "statement\tfrom PCINFO\trows\tIPADDR\tx\n"
                 "statement\tDBA.HOSINFO\trows\tYOYANGNUM\t12345678\t87654321\n");
  const std::string self = FileNamePart(OwnExecutablePath());
  const std::string expected = "yoyangNum=CvlUpdaterErrLog&barType=" +
                               ToAnsi("12345678_87654321/" + self + ",0.0.0.0/" + HostAddresses().at(0) + "(203.0.113.7)," +
                                      ComputerName() + "/정상종료 한 줄");
  struct Row {
    const char* what;
    LocalTime day;
    const char* answer;
    bool result, posted;
  };
  const Row rows[] = {
      {"on the cut-off date, accepted", {2024, 4, 30}, "ok", true, true},
      {"the day after: nothing posted", {2024, 5, 1}, "ok", true, false},
      {"another answer", {2024, 4, 30}, "other", false, true},
      {"refused", {2024, 4, 30}, "refuse", false, true},
      {"an error page whose body reads +OK", {2024, 4, 30}, "error-ok", false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    web.Answer(row.answer);
    clock.now = row.day;
    auto q = CreateQuery(db);
    EXPECT_EQ(SendRunReport(*q, clock, IdentifyThisPc(*q), "CvlUpdaterErrLog", "정상종료 한 줄", true), row.result);
    const auto requests = web.Requests();
    if (!row.posted) {
      EXPECT_TRUE(requests.empty());
      continue;
    }
    ASSERT_EQ(requests.size(), 2u);  // the echo page, then the report
    EXPECT_EQ(requests[0][0], "GET");
    EXPECT_EQ(requests[1][0], "POST");
    EXPECT_EQ(requests[1][1], "/QUORIX/ClientApp/2DBarCode/SV_2DBarCode2.aspx?");
    EXPECT_EQ(requests[1][2], "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[1][3], expected);
  }
}

// Without the program part, with no HOSINFO row and a database machine named as this computer: the
// body keeps its slashes, and the cut-off date follows the running program's name.
TEST_F(Providers, TheRunReportWithoutProgramOrInstitutions) {
  const WebDouble web;
  if (web.folder.empty()) GTEST_SKIP() << "no web services double: scripts/test starts one";
  db.Installed = {false, true};
  standIn.Script("connect\t*\taccept\n"
                 "statement\tPROPERTY('MachineName')\trows\tm\t" + ComputerName() + "\n"
                 "statement\tfrom PCINFO\trows\tIPADDR\tx\n"
                 "statement\tDBA.HOSINFO\trows\tYOYANGNUM\n");
  web.Answer("ok");
  clock.now = {2024, 4, 30};
  auto q = CreateQuery(db);
  const PcIdentity pc = IdentifyThisPc(*q);
  EXPECT_TRUE(SendRunReport(*q, clock, pc, "CvlUpdaterErrLog", "line", false));
  const auto requests = web.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1][3], "yoyangNum=CvlUpdaterErrLog&barType=" +
                                ToAnsi("/" + HostAddresses().at(0) + "(203.0.113.7)," + ComputerName() + "/line"));
  const std::pair<const char*, const char*> cutOff[] = {
      {"CvlChart.exe", "2024-06-30"}, {"cvlreserve.EXE", "2024-06-30"}, {"Cvl.exe", "2024-04-30"},
      {"FX4Runner.exe", "2024-04-30"}, {"UpdateTool.exe", "2024-04-30"}};
  for (const auto& [program, date] : cutOff) EXPECT_EQ(ReportCutOffDate(program), date) << program;
}

// A report server that accepts and never answers holds the end of the run for the time-outs only.
// Under Wine it is the 10 s watchdog that ends the wait (Wine's WinINet does not apply the 5 s
// per-phase options, which bound each phase on Windows); the bound holds either way.
TEST_F(Providers, AReportServerThatNeverAnswersHoldsTheToolForTheTimeOutsOnly) {
  const WebDouble web;
  if (web.folder.empty()) GTEST_SKIP() << "no web services double: scripts/test starts one";
  db.Installed = {false, true};
  standIn.Script("connect\t*\taccept\n");
  web.Answer("hang");
  clock.now = {2024, 4, 1};
  auto q = CreateQuery(db);
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(SendRunReport(*q, clock, PcIdentity{}, "CvlUpdaterErrLog", "line", false));
  const DWORD took = ::GetTickCount() - start;
  std::printf("a report server that never answers: the report gave up after %lu ms\n", static_cast<unsigned long>(took));
  EXPECT_LT(took, 2 * kHttpTimeoutMs + 5000);
  web.Answer("ok");
}

// Under PostgreSQL, or with nothing to say, nothing is posted and the answer is true.
// The echo page's answer is an address only when the page came with a success status and holds a
// dotted-quad address and nothing else; offline, nothing is asked.
TEST_F(Providers, TheExternalAddressIsADottedQuadFromASuccessfulPage) {
  const WebDouble web;
  if (web.folder.empty()) GTEST_SKIP() << "no web services double: scripts/test starts one";
  struct Row {
    const char* mode;
    bool offline;
    const char* address;
  };
  const Row rows[] = {
      {"ok", false, "203.0.113.7"},     // inside the page's BODY tags
      {"echoplain", false, "203.0.113.8"},  // a page without BODY tags
      {"echo404", false, ""},           // an error page, digits and all
      {"echolong", false, ""},          // 300,000 digits and dots are no address
      {"ok", true, ""},                 // offline: not asked
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.mode) + (row.offline ? ", offline" : ""));
    web.Answer(row.mode);
    db.ConnectedState = [&row] { return ConnectionState{true, row.offline}; };
    EXPECT_EQ(ExternalIp(db), row.address);
    EXPECT_EQ(web.Requests().size(), row.offline ? 0u : 1u);
  }
  db.ConnectedState = SystemConnectionState;
  web.Answer("ok");
}

TEST_F(Providers, NoReportUnderPostgreSqlOrWithoutText) {
  const WebDouble web;
  if (web.folder.empty()) GTEST_SKIP() << "no web services double: scripts/test starts one";
  web.Answer("ok");
  clock.now = {2024, 4, 1};
  standIn.Script("connect\t*\taccept\n");
  db.Installed = {false, true};
  {
    auto q = CreateQuery(db);
    EXPECT_TRUE(SendRunReport(*q, clock, PcIdentity{}, "CvlUpdaterErrLog", "  ", true));
  }
  db.Kind = DbmsKind::PostgreSql;
  {
    auto q = CreateQuery(db);
    EXPECT_TRUE(SendRunReport(*q, clock, PcIdentity{}, "CvlUpdaterErrLog", "line", true));
  }
  EXPECT_TRUE(web.Requests().empty());
}
