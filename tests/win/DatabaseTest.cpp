// The ODBC layer against a real PostgreSQL server through Wine's odbc32, unixODBC and psqlODBC.
// scripts/test starts the server (scripts/lib/pg.sh) and passes its port and login.
#include <gtest/gtest.h>

#include <cstdio>

#include <winsock2.h>
#include <wincrypt.h>
#include <tlhelp32.h>

#include <cstring>

#include "db/Database.h"
#include "Harness.h"
#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/DatabaseChecks.h"
#include "db/Odbc.h"
#include "db/TsQuery.h"
#include "core/PathText.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {


class RealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (port.empty()) GTEST_SKIP() << "no PostgreSQL server: scripts/test starts one";
  }
  std::string Login(const std::string& password, const std::string& atPort) const {
    return ConnectionString(kPostgreSqlDriver, user, password,
                            {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000", "Server=127.0.0.1", "Port=" + atPort});
  }
  std::string Login() const { return Login(password, port); }

  const std::string port = EnvironmentValue("UPDATER_PGPORT"), user = EnvironmentValue("UPDATER_PGUSER"), password = EnvironmentValue("UPDATER_PGPASSWORD");
  OdbcEnvironment env;
};

// A socket of this process's winsock and the loopback address at a port (0: any).
struct LoopbackSocket {
  LoopbackSocket() {
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
    s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~LoopbackSocket() {
    ::closesocket(s);
    ::WSACleanup();
  }
  SOCKET s;
  sockaddr_in a{};
};

// A port of 127.0.0.1 where nothing listens.
std::string ClosedPort() {
  LoopbackSocket l;
  ::bind(l.s, reinterpret_cast<sockaddr*>(&l.a), sizeof l.a);
  int length = sizeof l.a;
  ::getsockname(l.s, reinterpret_cast<sockaddr*>(&l.a), &length);
  return std::to_string(ntohs(l.a.sin_port));
}

// Threads of this process: a driver call given up on keeps its thread until the driver returns.
size_t ThreadCount() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  size_t n = 0;
  for (BOOL more = ::Thread32First(snapshot, &t); more; more = ::Thread32Next(snapshot, &t))
    if (t.th32OwnerProcessID == ::GetCurrentProcessId()) ++n;
  ::CloseHandle(snapshot);
  return n;
}

// Asks the fault stand-ins to close every connection they hold.
void ReleaseHeldConnections(const std::string& port) {
  if (port.empty()) return;
  LoopbackSocket l;
  l.a.sin_port = htons(static_cast<u_short>(std::stoi(port)));
  ::connect(l.s, reinterpret_cast<sockaddr*>(&l.a), sizeof l.a);
  char byte;
  ::recv(l.s, &byte, 1, 0);  // the stand-in closes this one after the others
}

}  // namespace

TEST_F(RealServer, KoreanTextAndQuotesRoundTripThroughTheWidePath) {
  OdbcConnection c(env);
  c.Connect(Login(), 5);  // the password holds ";" and braces: it travels braced
  ASSERT_TRUE(c.Connected());
  c.SetIsolation(SQL_TXN_READ_UNCOMMITTED);
  ExecuteStatement(c, "DELETE FROM FOPTION WHERE SETUPSECT = 'ClosingResult'");
  ExecuteStatement(c, "INSERT INTO FOPTION (SETUPROOM, SETUPUSER, SETUPSECT, SETUPVALUE) VALUES ('', '', 'ClosingResult', " +
                          QuotedLiteral("완료") + ")");
  const std::string tool = "업데이트 'Tool'.exe";
  ExecuteStatement(c, "INSERT INTO TOOLLIST (TOOLNAME, VERSION, EXECHK, TOOLDATE) VALUES (" + QuotedLiteral(tool) +
                          ", '6.0.2.80', NULL, CURRENT_DATE)");
  OdbcResult r = ExecuteStatement(c, "SELECT setupvalue FROM FOPTION WHERE setupsect = 'ClosingResult' AND setupvalue = '완료'");
  ASSERT_FALSE(r.Eof());
  EXPECT_EQ(r.Text(0), "완료");
  r = ExecuteStatement(c, "SELECT TOOLNAME, coalesce(EXECHK, 'N') AS EXECHK, 42 AS N FROM TOOLLIST WHERE TOOLNAME = " +
                              QuotedLiteral(tool));
  ASSERT_EQ(r.Rows.size(), 1u);
  EXPECT_EQ(r.Text("toolname"), tool);
  EXPECT_EQ(r.Text("EXECHK"), "N");
  EXPECT_EQ(r.Integer("n"), 42);
  EXPECT_EQ(r.RecNo(), 1u);
  r.Next();
  EXPECT_TRUE(r.Eof());
  ExecuteStatement(c, "DELETE FROM TOOLLIST");
}

TEST_F(RealServer, FailuresCarryTheDriversTextAndState) {
  OdbcConnection c(env);
  try {
    c.Connect(Login("wrong", port), 5);
    FAIL() << "a wrong password connected";
  } catch (const OdbcError& e) {
    EXPECT_EQ(e.State().size(), 5u);
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_FALSE(c.Connected());
  // Nothing listens there: the attempt fails at once, not after minutes.
  const DWORD start = ::GetTickCount();
  EXPECT_THROW(c.Connect(Login(password, ClosedPort()), 3), OdbcError);
  std::printf("a closed port failed after %lu ms\n", ::GetTickCount() - start);

  c.Connect(Login(), 5);
  try {
    ExecuteStatement(c, "SELEC 1");
    FAIL() << "a syntax error ran";
  } catch (const OdbcError& e) {
    EXPECT_EQ(e.State(), "42601");
    EXPECT_NE(std::string(e.what()).find("SELEC"), std::string::npos) << e.what();
    EXPECT_FALSE(IsConnectionLostMessage(e.what()));
  }
  EXPECT_EQ(ExecuteStatement(c, "SELECT 1").Text(0), "1");  // the connection is still good
}

// The message a lost connection gives must be one the query wrapper recognises.
TEST_F(RealServer, AKilledBackendReadsAsALostConnection) {
  OdbcConnection victim(env), killer(env);
  victim.Connect(Login(), 5);
  killer.Connect(Login(), 5);
  const std::string pid = ExecuteStatement(victim, "SELECT pg_backend_pid()").Text(0);
  ExecuteStatement(killer, "SELECT pg_terminate_backend(" + pid + ")");
  ::Sleep(200);
  try {
    ExecuteStatement(victim, "SELECT 1");
    FAIL() << "the statement ran on a terminated backend";
  } catch (const OdbcError& e) {
    std::printf("psqlODBC on a killed backend: [%s] %s\n", e.State().c_str(), e.what());
    EXPECT_TRUE(IsConnectionLostMessage(e.what())) << e.what();
  }
  try {  // and what the connection says after that
    ExecuteStatement(victim, "SELECT 1");
    FAIL() << "the statement ran on a dead connection";
  } catch (const OdbcError& e) {
    std::printf("psqlODBC on the dead connection: [%s] %s\n", e.State().c_str(), e.what());
    EXPECT_TRUE(IsConnectionLostMessage(e.what())) << e.what();
  }
  victim.Terminate();
  victim.Connect(Login(), 5);  // a fresh handle connects again
  EXPECT_EQ(ExecuteStatement(victim, "SELECT 2").Text(0), "2");
}

// The query wrapper on the clinic database: DBServer.ini names the server, the constants DLL double
// hands over the login (record 0 refused, record 1 right).
class Queries : public RealServer {
 protected:
  void SetUp() override {
    RealServer::SetUp();
    if (IsSkipped()) return;
    MakeFolders("D:\\CVL2000\\Exe");
    MakeFolders("D:\\CVL2000\\Log");  // the query error log keeps the folder it was made with
    WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                   "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + port + "\r\n");
    ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLSConst.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLSConst.dll", FALSE);
    WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini", "[GetALLDBConstData]\r\nUser0=" + user + "\r\nPassword0=wrong\r\nUser1=" + user +
                                                      "\r\nPassword1=" + password + "\r\n");
    db.Kind = ReadDbmsKind();
  }
  // The entries of the query error log (an entry's statement may run over several lines).
  static std::vector<std::string> ErrorLog() {
    std::vector<std::string> entries;
    for (const std::string& line : Lines(ReadCp949File("D:\\CVL2000\\Log\\QueryErrorErrLog250724.log")))
      if (line.size() > 9 && std::isdigit(static_cast<unsigned char>(line[0])) && line[2] == ':' && line[5] == ':' && line[8] == ' ')
        entries.push_back(line);
      else if (!entries.empty()) entries.back() += "\n" + line;
    return entries;
  }
  CleanInstallRoots clean;
  ScriptedUi ui;
  FakeClock clock;
  updater::Database db{ui, clock};
};

TEST_F(Queries, ObjectsShareOneConnectionThatGoesWithTheLast) {
  ASSERT_EQ(db.Kind, DbmsKind::PostgreSql);
  auto first = CreateQuery(db);
  auto second = CreateQuery(db);
  EXPECT_TRUE(first->IsPostgreSql());
  EXPECT_FALSE(first->Connected());  // opened on demand
  first->SQL = {"SELECT setupvalue", "FROM FOPTION", "WHERE setupsect = " + QuotedLiteral("ClosingResult")};
  first->OpenQuery();
  EXPECT_TRUE(second->Connected());
  first.reset();
  EXPECT_TRUE(second->Connected());  // the connection stays for the second
  second.reset();
  auto third = CreateQuery(db);
  EXPECT_FALSE(third->Connected());  // the last one took it along
  third->SQL = {"SELECT 3 AS n"};
  third->OpenQuery();
  EXPECT_EQ(third->FieldInteger("N"), 3);
}

TEST_F(Queries, AFailedStatementIsLoggedWithItsTextAndRaised) {
  auto q = CreateQuery(db);
  q->SQL = {"SELEC wrong", "FROM FOPTION"};
  try {
    q->OpenQuery();
    FAIL() << "a syntax error ran";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("SELEC"), std::string::npos);
  }
  const std::vector<std::string> log = ErrorLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(" → [Open] "), std::string::npos) << log[0];
  EXPECT_NE(log[0].find(": SELEC wrong\nFROM FOPTION"), std::string::npos) << log[0];
}

// A backend ended under a run: one log entry, one reconnect, the other open query back at its
// record, and the caller sees no error.
TEST_F(Queries, ALostConnectionIsReconnectedOnceAndTheOthersReopened) {
  auto rows = CreateQuery(db);
  rows->SQL = {"SELECT n FROM generate_series(1, 5) AS n"};
  rows->OpenQuery();
  rows->Next();
  rows->Next();
  ASSERT_EQ(rows->FieldText(0), "3");
  auto q = CreateQuery(db);
  q->SQL = {"SELECT pg_backend_pid()"};
  q->OpenQuery();
  const std::string pid = q->FieldText(0);
  OdbcConnection killer(env);
  killer.Connect(Login(), 5);
  ExecuteStatement(killer, "SELECT pg_terminate_backend(" + pid + ")");
  ::Sleep(200);
  q->SQL = {"SELECT 42"};
  q->OpenQuery();  // no error reaches the caller
  EXPECT_EQ(q->FieldText(0), "42");
  EXPECT_EQ(rows->RecNo(), 3u);
  EXPECT_EQ(rows->FieldText(0), "3");
  EXPECT_NE(q->FieldText(0), pid);
  EXPECT_EQ(ErrorLog().size(), 1u);  // one entry, for the statement that met the lost connection
}

// The constants DLL hands over its login texts in the system's code page: a role whose name and
// password are Korean logs in. (unixODBC finds the driver in a copy of the connection string cut
// to one byte a character, so a character whose low byte is zero, as in 비밀번호, ends that copy
// early here; Windows' driver manager has no such limit. The password avoids those characters.)
TEST_F(Queries, AKoreanLoginConnects) {
  // scripts/test makes the role.
  WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini",
                 ToAnsi("[GetALLDBConstData]\r\nUser0=사용자\r\nPassword0=학교비번1\r\nUser1=사용자\r\nPassword1=학교비번1\r\n"));
  {
    auto q = CreateQuery(db);
    q->SQL = {"SELECT current_user AS who"};
    q->OpenQuery();
    EXPECT_EQ(q->FieldText("who"), "사용자");
  }
}

// A statement that a lock held by another session blocks ends with the statement time-out: an
// ordinary failed statement, logged once and raised, never a reconnect; the connection stays usable.
TEST_F(Queries, AStatementBlockedByALockEndsWithTheStatementTimeout) {
  db.StatementTimeoutSeconds = 3;  // the program's is a minute
  OdbcConnection holder(env);
  holder.Connect(Login(), 5);
  ExecuteStatement(holder, "BEGIN");
  ExecuteStatement(holder, "LOCK TABLE FOPTION IN ACCESS EXCLUSIVE MODE");
  auto q = CreateQuery(db);
  q->SQL = {"SELECT SETUPVALUE FROM FOPTION"};
  const DWORD start = ::GetTickCount();
  EXPECT_THROW(q->OpenQuery(), std::runtime_error);
  const DWORD took = ::GetTickCount() - start;
  std::printf("a statement blocked by a lock ended after %lu ms (time-out 3 s)\n", static_cast<unsigned long>(took));
  EXPECT_GE(took, 2500u);
  EXPECT_LT(took, 15000u);
  ExecuteStatement(holder, "ROLLBACK");
  const std::vector<std::string> log = ErrorLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("[Open] "), std::string::npos) << log[0];
  q->SQL = {"SELECT 7 AS n"};
  q->OpenQuery();  // the same connection goes on
  EXPECT_EQ(q->FieldInteger("n"), 7);
}

// A server that stops answering never holds the tool for ever. Two stand-ins in front of the real
// server: one that accepts and never answers, one that stops after the login is done (the driver's
// own set-up statements then get no answer). Every attempt of the sequence is bounded, and the
// gate ends with its box.
TEST_F(Queries, AServerThatStopsAnsweringEndsTheGateInBoundedTime) {
  struct Row {
    const char* what;
    const char* port;
  };
  const Row rows[] = {{"accepts and never answers", "UPDATER_PGBLACKHOLEPORT"}, {"stops just after the login", "UPDATER_PGSTALLPORT"}};
  WriteFileBytes("C:\\windows\\CVL2000.ini", "[ISINTERNET]\r\nDO NOT CHECK INTERNET=1\r\n");
  WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini", "[GetALLDBConstData]\r\nUser0=" + user + "\r\nPassword0=" + password +
                                                      "\r\nUser1=" + user + "\r\nPassword1=" + password + "\r\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string port = EnvironmentValue(row.port);
    if (port.empty()) GTEST_SKIP() << "no fault stand-ins: scripts/test starts them";
    // Only the first address of each record reaches the stand-in; the other two fail at once.
    WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                   "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + port + "\r\n");
    ui.errors.clear();
    db.Prepare();
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(StartupDatabaseGate(true, db));
    const DWORD took = ::GetTickCount() - start;
    std::printf("%s: the gate ended after %lu ms\n", row.what, static_cast<unsigned long>(took));
    EXPECT_LT(took, 2u * (5 + kDriverAllowanceSeconds) * 1000 + 15000);  // two bounded attempts and a margin
    EXPECT_EQ(ui.errors.size(), 1u);
  }
  ::DeleteFileW(L"C:\\windows\\CVL2000.ini");
  // The logins given up on still wait inside the driver. Once the server closes them they come
  // back and their threads end: none is left running when the process ends (unloading the driver
  // under a waiting call can crash the process at exit).
  // The stall row gave up on two logins (the gate tries twice).
  const size_t waiting = ThreadCount();
  ReleaseHeldConnections(EnvironmentValue("UPDATER_PGRELEASEPORT"));
  for (int i = 0; i < 500 && ThreadCount() > waiting - 2; ++i) ::Sleep(20);
  EXPECT_LE(ThreadCount(), waiting - 2);
}

// The start-up gate end to end: a reachable server, a stopped one (the database message, its line
// breaks as they are), a standby (the recovery error), and the server-information program.
TEST_F(Queries, TheStartupGate) {
  MakeFolders("D:\\CVL2000\\Tool");
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\CVL2000\\Tool\\Pellan.exe", FALSE);
  db.Prepare();
  EXPECT_TRUE(StartupDatabaseGate(true, db));
  EXPECT_TRUE(ui.errors.empty());
  for (int i = 0; i < 150 && !FileExists("D:\\CVL2000\\Tool\\caller.txt"); ++i) ::Sleep(20);
  const std::string pellan = ReadFileBytes("D:\\CVL2000\\Tool\\caller.txt");
  const std::string line = Narrow(std::wstring(reinterpret_cast<const wchar_t*>(pellan.data()), pellan.size() / 2));
  EXPECT_NE(line.find("D:\\CVL2000\\Tool\\Pellan.exe \"win_database_tests.exe\""), std::string::npos) << line;

  // Nothing listens at the address: with the internet check switched off, the database message.
  WriteFileBytes("C:\\windows\\CVL2000.ini", "[ISINTERNET]\r\nDO NOT CHECK INTERNET=1\r\n");
  WriteFileBytes("D:\\CVL2000\\DBServer.ini", "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" +
                                                 ClosedPort() + "\r\n");
  db.Prepare();
  EXPECT_FALSE(StartupDatabaseGate(true, db));
  ::DeleteFileW(L"C:\\windows\\CVL2000.ini");
  ASSERT_EQ(ui.errors.size(), 1u);
  const std::string self = OwnExecutablePath();
  EXPECT_EQ(ui.errors[0], "Corvel 데이터베이스 연결정보가 잘못 설정되어 있거나\r\n데이터베이스 서버가 실행되어 있지 않아 서버와 연결을\r\n"
                          "할 수 없습니다. 프로그램을 종료합니다.\r\r\n - 실행모듈: " + self + "\r\n - 호출모듈(실행모듈 DLL인 경우 참고): " + self);

  // A standby answers, but is in recovery: the gate ends with the error.
  const std::string standby = EnvironmentValue("UPDATER_PGSTANDBYPORT");
  if (standby.empty()) GTEST_SKIP() << "no standby server";
  WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                 "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + standby + "\r\n");
  db.Prepare();
  try {
    StartupDatabaseGate(true, db);
    FAIL() << "a standby passed the gate";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "DB가 복구모드입니다.");
  }
}

// A clinic whose settings still say SQL Anywhere but whose data moved to PostgreSQL: the SQL
// Anywhere attempts fail (no such driver here), the probe finds ClosingResult = 완료 on the real
// server, and the settings file is switched over.
TEST_F(Queries, TheProbeSwitchesAMovedClinicOnTheRealServer) {
  OdbcConnection admin(env);
  admin.Connect(Login(), 5);
  ExecuteStatement(admin, "DELETE FROM FOPTION WHERE SETUPSECT = 'ClosingResult'");
  ExecuteStatement(admin, "INSERT INTO FOPTION VALUES ('', '', 'ClosingResult', '완료')");
  WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                 "[Connection Config]\r\nDBMSKind=SYBASE\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + port + "\r\n");
  // After the switch the PostgreSQL provider logs in with the records of the first export too.
  const std::string login = "User0=" + user + "\r\nPassword0=" + password + "\r\n";
  WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini", "[GetALLDBConstData]\r\n" + login + "[GetPgALLDBConstData]\r\n" + login);
  db.Prepare();
  ASSERT_EQ(db.Kind, DbmsKind::SqlAnywhere);
  db.Installed[1] = true;  // SQL Anywhere 17 counts as installed; its driver is not there
  EXPECT_TRUE(StartupDatabaseGate(true, db));
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(db.Kind, DbmsKind::PostgreSql);  // read again after the switch-over
  EXPECT_NE(ReadFileBytes("D:\\CVL2000\\DBServer.ini").find("DBMSKind=POSTGRESQL"), std::string::npos);
  EXPECT_NE(ReadCp949File("D:\\CVL2000\\Log\\AutoDBMSKindLog250724.log").find("→ AutoDBMSKind: POSTGRESQL 으로 변경"),
            std::string::npos);
  ExecuteStatement(admin, "DELETE FROM FOPTION WHERE SETUPSECT = 'ClosingResult'");
}

namespace {

// The base64 of AES-256-CBC over the text, as the client product stores a protected column.
std::string Encipher(const std::string& plain) {
  HCRYPTPROV provider = 0;
  ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
  struct {
    BLOBHEADER header;
    DWORD length;
    BYTE key[32];
  } blob{{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_AES_256}, 32, {}};
  std::memcpy(blob.key, kColumnKey, 32);
  HCRYPTKEY aes = 0;
  ::CryptImportKey(provider, reinterpret_cast<BYTE*>(&blob), sizeof blob, 0, 0, &aes);
  ::CryptSetKeyParam(aes, KP_IV, reinterpret_cast<const BYTE*>(kColumnIv), 0);
  std::vector<BYTE> data(plain.begin(), plain.end());
  data.resize(plain.size() + 32);
  DWORD length = static_cast<DWORD>(plain.size());
  ::CryptEncrypt(aes, 0, TRUE, 0, data.data(), &length, static_cast<DWORD>(data.size()));
  DWORD chars = 0;
  ::CryptBinaryToStringA(data.data(), length, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, nullptr, &chars);
  std::string text(chars, '\0');
  ::CryptBinaryToStringA(data.data(), length, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text.data(), &chars);
  text.resize(chars);
  ::CryptDestroyKey(aes);
  ::CryptReleaseContext(provider, 0);
  return text;
}

}  // namespace

TEST_F(Queries, ProtectedColumnsAreDecipheredUnderPostgreSql) {
  const std::string secret = Encipher("800101-1234567");
  ASSERT_GT(secret.size(), 20u);
  auto q = CreateQuery(db);
  q->SQL = {"SELECT " + QuotedLiteral(secret) + " AS regInum, '12345678901234567890' AS pregi, " + QuotedLiteral(secret) +
            " AS setupvalue"};
  q->OpenQuery();
  // Without the DLL: its box each time, and the value reads as empty.
  EXPECT_EQ(ReadFieldText(*q, "regInum"), "");
  EXPECT_EQ(ReadFieldText(*q, "REGINUM"), "");
  EXPECT_EQ(ui.infos, (std::vector<std::string>{"CVLCrypto DLL 로드 실패", "CVLCrypto DLL 로드 실패"}));
  ::CopyFileW(Wide(BuildFolder() + "doubles\\CVLCrypto.dll").c_str(), L"D:\\CVL2000\\Exe\\CVLCrypto.dll", FALSE);
  EXPECT_EQ(ReadFieldText(*q, "regInum"), "800101-1234567");
  EXPECT_EQ(ReadFieldText(*q, "pregi"), "12345678901234567890");  // 20 characters: as stored
  EXPECT_EQ(ReadFieldText(*q, "setupvalue"), secret);            // not a protected column
  db.Kind = DbmsKind::SqlAnywhere;
  EXPECT_EQ(ReadFieldText(*q, "regInum"), secret);  // under SQL Anywhere nothing is deciphered
}
