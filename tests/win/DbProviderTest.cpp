// The providers' attempt sequences, told by the connection strings they try, with the constants
// DLL double handing over the login records and a recording connection answering by script.
#include <gtest/gtest.h>

#include "Harness.h"
#include "core/PathText.h"
#include "db/DbProvider.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

class RecordingConnection final : public DbConnection {
 public:
  std::vector<std::string> tried;
  std::function<bool(const std::string&)> accepts = [](const std::string&) { return false; };
  std::string closingResult = "0";  // what the switch-over check answers
  bool connected = false;
  bool Connected() const override { return connected; }
  void Connect() override {
    const std::string text = ConnectionString(Driver, UserName, Password, Attributes);
    tried.push_back(text);
    if (!accepts(text)) throw OdbcError("refused by the script", "08001", 0);
    connected = true;
  }
  void Disconnect() override { connected = false; }
  void Terminate() override { connected = false; }
  OdbcResult Run(const std::string& sql) override {
    OdbcResult r;
    r.Columns = {"c"};
    if (sql.find("ClosingResult") != std::string::npos) r.Rows.push_back({closingResult});
    return r;
  }
};

class Providers : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
    ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
    WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini",
                   "[GetALLDBConstData]\r\nUser0=dba\r\nPassword0=sql\r\nUser1=dba2\r\nPassword1=sql2\r\n"
                   "[GetPgALLDBConstData]\r\nUser0=pg\r\nPassword0=pgpw\r\nUser1=pg2\r\nPassword1=pgpw2\r\n");
    Db() = DbState{};
  }
  std::vector<std::string> Sybase(bool serverRunning, std::array<bool, 2> installed, bool& answer) {
    Db().installed = installed;
    TSybaseProvider provider(ui, clock);
    provider.FindServer = [serverRunning] { return serverRunning ? std::string("CVL2000") : std::string(); };
    provider.Use(connection);
    answer = provider.Connect();
    return connection.tried;
  }
  CleanInstallRoots clean;
  ScriptedUi ui;
  FakeClock clock;
  RecordingConnection connection;
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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    connection.tried.clear();
    bool answer = true;
    EXPECT_EQ(Sybase(row.serverRunning, row.installed, answer), row.expected);
    EXPECT_FALSE(answer);
    EXPECT_EQ(Db().lastMode, -1);
  }
}

TEST_F(Providers, TheFirstAttemptThatConnectsIsRecorded) {
  connection.accepts = [](const std::string& s) { return s.find("Host=CVLDB-PC:2638") != std::string::npos; };
  bool answer = false;
  const std::vector<std::string> tried = Sybase(false, {false, true}, answer);
  EXPECT_TRUE(answer);
  EXPECT_EQ(tried.size(), 2u);  // record 0 with CommLinks, then the host form, which connects
  EXPECT_EQ(Db().lastLoginIndex, 0);
  EXPECT_EQ(Db().lastMode, 1);
  RecordLastConnection();  // makes DBServer.ini when it has something to write
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\DBServer.ini").substr(0, 19), "[Connection Config]");
}

TEST_F(Providers, TheProbeSwitchesAMovedClinicToPostgreSql) {
  WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=SYBASE\r\n");
  connection.accepts = [](const std::string& s) { return s.find("PostgreSQL UNICODE") != std::string::npos; };
  connection.closingResult = "1";
  bool answer = false;
  Sybase(false, {false, true}, answer);
  EXPECT_TRUE(answer);
  EXPECT_TRUE(connection.connected);
  EXPECT_EQ(ReadDbmsKind(), DbmsKind::PostgreSql);
  EXPECT_NE(ReadFileBytes("D:\\CVL2000\\Log\\AutoDBMSKindLog250724.log").find("AutoDBMSKind"), std::string::npos);

  // Not moved yet: the answer is false and the PostgreSQL connection does not stay open.
  WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=SYBASE\r\n");
  connection = RecordingConnection{};
  connection.accepts = [](const std::string& s) { return s.find("PostgreSQL UNICODE") != std::string::npos; };
  Sybase(false, {false, true}, answer);
  EXPECT_FALSE(answer);
  EXPECT_FALSE(connection.connected);
  EXPECT_EQ(ReadDbmsKind(), DbmsKind::SqlAnywhere);
}

TEST_F(Providers, PostgreSqlTriesThreeAddressesPerRecord) {
  Db().kind = DbmsKind::PostgreSql;
  TPostgreSqlProvider provider(ui, clock);
  provider.Use(connection);
  EXPECT_FALSE(provider.Connect());  // every address setting empty: six attempts all the same
  ASSERT_EQ(connection.tried.size(), 6u);
  EXPECT_EQ(connection.tried[0],
            "UID=dba;PWD=sql;DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;Server=;Port=5432;");
  EXPECT_EQ(connection.tried[3].substr(0, 21), "UID=dba2;PWD=sql2;DRI");

  WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                 "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGHostName=clinic-db\r\n"
                 "PGHostIpAddress2=127.0.0.2\r\nPGPort2=5433\r\n");
  connection.tried.clear();
  connection.accepts = [](const std::string& s) { return s.find("UID=dba2") != std::string::npos && s.find("Port=5433") != std::string::npos; };
  EXPECT_TRUE(provider.Connect());
  const std::vector<std::string> servers = {"Server=127.0.0.1;Port=5432;", "Server=clinic-db;Port=5432;", "Server=127.0.0.2;Port=5433;"};
  ASSERT_EQ(connection.tried.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_NE(connection.tried[i].find(servers[i % 3]), std::string::npos) << connection.tried[i];
}

TEST_F(Providers, AMissingOrWrongConstantsDllShowsItsBox) {
  ::DeleteFileW(L"D:\\CVL2000\\Exe\\CVLSConst.dll");
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", true, ui, Db().records));
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], "실행모듈(CVLSConst.dll)을 찾을 수 없습니다.\r\nCorvel 실행파일이 있는 폴더를 확인해 주시기 바랍니다");
  ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst_noexports.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", true, ui, Db().records));
  ASSERT_EQ(ui.errors.size(), 2u);
  EXPECT_EQ(ui.errors[1], "실행모듈(CVLSConst.dll)이 잘못되었습니다.\r\n최신 모듈인지 확인해 주시기 바랍니다");
  EXPECT_FALSE(LoadLoginRecords("GetALLDBConstData", false, ui, Db().records));
  EXPECT_EQ(ui.errors.size(), 2u);  // without messages, no box
}
