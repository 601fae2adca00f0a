// The ODBC layer against a real PostgreSQL server through Wine's odbc32, unixODBC and psqlODBC.
// scripts/test starts the server (scripts/lib/pg.sh) and passes its port and login.
#include <gtest/gtest.h>

#include <winsock2.h>

#include "Harness.h"
#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

std::string Env(const char* name) {
  wchar_t value[512] = {};
  return ::GetEnvironmentVariableW(Wide(name).c_str(), value, 512) ? Narrow(value) : std::string{};
}

class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    if (port.empty()) GTEST_SKIP() << "no PostgreSQL server: scripts/test starts one";
  }
  std::string Login(const std::string& password, const std::string& atPort) const {
    return ConnectionString(kPostgreSqlDriver, user, password,
                            {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000", "Server=127.0.0.1", "Port=" + atPort});
  }
  std::string Login() const { return Login(password, port); }

  const std::string port = Env("UPDATER_PGPORT"), user = Env("UPDATER_PGUSER"), password = Env("UPDATER_PGPASSWORD");
  OdbcEnvironment env;
};

// A port of 127.0.0.1 where nothing listens.
std::string ClosedPort() {
  WSADATA wsa;
  ::WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int length = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  ::closesocket(s);
  return std::to_string(ntohs(a.sin_port));
}

}  // namespace

TEST_F(Database, KoreanTextAndQuotesRoundTripThroughTheWidePath) {
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

TEST_F(Database, FailuresCarryTheDriversTextAndState) {
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
TEST_F(Database, AKilledBackendReadsAsALostConnection) {
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
