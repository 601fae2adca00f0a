#include <gtest/gtest.h>

#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/LoginCipher.h"

using namespace updater;

TEST(Dialect, ClausesFollowTheKind) {
  EXPECT_EQ(TopClause(1, DbmsKind::SqlAnywhere), "TOP 1");
  EXPECT_EQ(TopClause(1, DbmsKind::PostgreSql), "");
  EXPECT_EQ(LimitClause(1, DbmsKind::PostgreSql), "Limit 1");
  EXPECT_EQ(LimitClause(1, DbmsKind::SqlAnywhere), "");
  EXPECT_EQ(CurrentDateKeyword(DbmsKind::SqlAnywhere), "CURRENT DATE");
  EXPECT_EQ(CurrentDateKeyword(DbmsKind::PostgreSql), "CURRENT_DATE");
  EXPECT_EQ(QuotedLiteral("VEROZ5521.exe"), "'VEROZ5521.exe'");
  EXPECT_EQ(QuotedLiteral("it's"), "'it''s'");
  EXPECT_EQ(QuotedLiteral("''"), "''''''");
  EXPECT_EQ(QuotedLiteral(""), "''");
}

TEST(Dialect, LostConnectionTextsCountWithTheirCase) {
  for (const char* text : {"Connection was terminated", "Communication error", "Invalid ODBC Handle",
                           "could not receive data from server", "Software caused connection abort",
                           "Error on data writing to the connection", "no connection to the server",
                           // psqlODBC: the backend was ended, and every statement after that
                           "terminating connection due to administrator command", "unable due to the connection lost"}) {
    EXPECT_TRUE(IsConnectionLostMessage(std::string("[ODBC] ") + text + " (08S01)")) << text;
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(IsConnectionLostMessage(upper)) << upper;
  }
  EXPECT_FALSE(IsConnectionLostMessage("syntax error at or near \"SELEC\""));
}

TEST(Dialect, EveryProtectedColumnInAnyCase) {
  for (const char* name : {"ANEREGI", "EREGI", "FREGI", "PATPREGI", "PREGI", "PREGI1", "RADREGI", "REGINUM", "REGISTRATIONNUMBER",
                           "SOCIALNUM", "REPORTJSON", "BPREGI", "CVL_PREGI", "OPERATOR", "PATIENTRRN", "MCM_PREGI",
                           "MCM_REPORTJSON", "ORIFREGI", "regInum", "cvl_pregi"})
    EXPECT_TRUE(IsProtectedColumn(name)) << name;
  for (const char* name : {"PREGI2", "REGI", "", "SETUPVALUE"}) EXPECT_FALSE(IsProtectedColumn(name)) << name;
}

TEST(LoginCipher, RoundTripsAndReadsDamagedGroupsAsZero) {
  for (const char* plain : {"", "dba", "sql", "cvluser", "p@ss;word{1}", "\x01\xFF mixed"}) {
    const std::string cipher = EncipherLoginText(plain);
    EXPECT_EQ(cipher.size(), 3 * std::string(plain).size());
    EXPECT_EQ(DecipherLoginText(cipher), plain);
  }
  EXPECT_EQ(DecipherLoginText(""), "");
  // A group that is not a number is the byte 0; a short last group still counts.
  const std::string good = EncipherLoginText("ab");
  EXPECT_EQ(DecipherLoginText("x1y" + good.substr(3)).size(), 2u);
  EXPECT_EQ(DecipherLoginText(good.substr(0, 4)).size(), 2u);
}

TEST(ConnectionStrings, SqlAnywhereAttempts) {
  TDBConnection_Info remote{"SQL Anywhere 17", "dba", "sql", "", "CVL2000", "tcpip", "CVLDB-PC", {}, {}, {}, {}, {}};
  const std::string common = "Server=;EngineName=CVL2000;";
  const std::string tail = "AutoStop=Yes;Integrated=No;Debug=No;DisableMultiRowFetch=No;PrefetchBuffer=2M;PrefetchRows=200;";
  EXPECT_EQ(ConnectionString(remote.Driver, remote.UserName, remote.Password, SybaseAttributes(remote, false)),
            "UID=dba;PWD=sql;DRIVER=SQL Anywhere 17;Delphi=Yes;" + common + "CommLinks=tcpip;" + tail);
  EXPECT_EQ(ConnectionString(remote.Driver, remote.UserName, remote.Password, SybaseAttributes(remote, true)),
            "UID=dba;PWD=sql;DRIVER=SQL Anywhere 17;Delphi=Yes;" + common + "Host=CVLDB-PC:2638;" + tail);
  TDBConnection_Info local{"SQL Anywhere 12", "dba", "sql", {}, {}, {}, {}, {}, {}, {}, {}, {}};
  EXPECT_EQ(ConnectionString(local.Driver, local.UserName, local.Password, SybaseAttributes(local, false)),
            "UID=dba;PWD=sql;DRIVER=SQL Anywhere 12;Delphi=Yes;");
  TDBConnection_Info noEngine = remote;
  noEngine.EngineName.clear();  // remote settings without an engine name: like a local attempt
  EXPECT_EQ(SybaseAttributes(noEngine, false), std::vector<std::string>{"Delphi=Yes"});
  TDBConnection_Info noLinks = remote;
  noLinks.CommLinks.clear();
  noLinks.HostName.clear();
  EXPECT_EQ(SybaseAttributes(noLinks, true), std::vector<std::string>{"Delphi=Yes"});
}

TEST(ConnectionStrings, PostgreSqlModesAndValuesThatCannotAddAttributes) {
  TDBConnection_Info e;
  e.UserName = "cvl";
  e.Password = "pw";
  e.PgHostIpAddress = "127.0.0.1";
  e.PgHostName = "db-host";
  e.PgHostIpAddress2 = "127.0.0.2";
  e.PgPort = "5432";
  e.PgPort2 = "5433";
  const char* expected[] = {"Server=127.0.0.1;Port=5432;", "Server=db-host;Port=5432;", "Server=127.0.0.2;Port=5433;"};
  for (int mode = 0; mode < 3; ++mode)
    EXPECT_EQ(ConnectionString(kPostgreSqlDriver, e.UserName, e.Password, PgAttributes(e, mode)),
              std::string("UID=cvl;PWD=pw;DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;") + expected[mode]);
  TDBConnection_Info empty;  // every address setting empty: still an attempt, with an empty server
  EXPECT_EQ(ConnectionString(kPostgreSqlDriver, "", "", PgAttributes(empty, 0)),
            "DRIVER=PostgreSQL UNICODE;Driver=PostgreSQL UNICODE;Database=cvl2000;Server=;Port=;");
  // A password or a setting holding ";" or braces is sent braced.
  EXPECT_EQ(ConnectionString("", "u", "a;b}", {"Server=h;Port=1"}), "UID=u;PWD={a;b}}};Server={h;Port=1};");
}
