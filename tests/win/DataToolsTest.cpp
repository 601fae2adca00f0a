// The steps that use the clinic database around the deployment: prerequisite data tools, the tool
// version record, the data tool look-ups and the end-of-run data tool. Against the real test
// server; the data tools are the recording double (tests/doubles/DataTool.cpp).
#include <gtest/gtest.h>

#include "db/Database.h"
#include "Harness.h"
#include "core/ClientFolders.h"
#include "core/PathText.h"
#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "db/TsQuery.h"
#include "deploy/Installers.h"
#include "db/ClinicTables.h"
#include "platform/Network.h"
#include "deploy/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

class DataTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (port.empty()) GTEST_SKIP() << "no PostgreSQL server: scripts/test starts one";
    UseClinicDatabase();
    MakeFolders("D:\\CVL2000\\Tool");
    MakeFolders("D:\\CVL2000\\Log");
    db.Kind = DbmsKind::PostgreSql;
    admin.Connect(ConnectionString(kPostgreSqlDriver, user, password,
                                   {std::string("Driver=") + kPostgreSqlDriver, "Database=cvl2000", "Server=127.0.0.1", "Port=" + port}),
                  5);
    for (const char* table : {"TOOLLIST", "PCINFO", "FOPTION", "ModuleSetting"}) Sql(std::string("DELETE FROM ") + table);
  }
  void Sql(const std::string& statement) { ExecuteStatement(admin, statement); }
  // The double as a program of the given path, doing what the script says.
  static void PlaceTool(const std::string& path, const std::string& script) {
    MakeFolders(path.substr(0, path.rfind('\\')));
    ::CopyFileW(Wide(BuildFolder() + "data_tool.exe").c_str(), Wide(path).c_str(), FALSE);
    ::DeleteFileW(Wide(path + ".log").c_str());
    if (script.empty()) ::DeleteFileW(Wide(path + ".script").c_str());
    else WriteFileBytes(path + ".script", script);
  }
  static std::vector<std::string> Started(const std::string& path) { return Lines(ReadFileBytes(path + ".log")); }

  const std::string port = EnvironmentValue("UPDATER_PGPORT"), user = EnvironmentValue("UPDATER_PGUSER"),
                    password = EnvironmentValue("UPDATER_PGPASSWORD");
  CleanInstallRoots clean;
  ScriptedUi ui;
  FakeClock clock;
  RunState run;
  Database db{ui, clock};
  OdbcEnvironment env;
  OdbcConnection admin{env};
};

}  // namespace

TEST_F(DataTools, APrerequisiteRunsOnceAndOnlyAsItsRowsSay) {
  const std::string staged = "D:\\CVL2000\\Temp\\FX4\\New\\Tool01_1\\", tool = "D:\\CVL2000\\Tool\\";
  struct Row {
    const char* what;
    std::string name, placedAt, script;
    bool alreadyRun = false, hidden = false, confirm = true, ranBefore = false;
    bool answer = false;
    std::string parameters;  // what the double was started with; empty when it was not started
    std::string failure;     // the start of the failure line; empty for none
    std::string box = "";    // the one box the step shows (a question or an error); empty for none
    bool holders = false;    // programs holding package files run: the declined line names them
  };
  const std::string ask = "실행되지 않은 툴이 있습니다.\r\nVEROZ5300.exe 실행 후 업데이트가 진행됩니다. 업데이트를 실행하시겠습니까?";
  const Row rows[] = {
      {"carried in the package, marks itself", "VEROZ5521.exe", staged, "mark\n", false, false, true, false, true, "\"0\" \"1\"", ""},
      {"after another prerequisite ran", "VEROZ5600.exe", tool, "mark\n", false, false, true, true, true, "\"0\" \"2\"", ""},
      {"already recorded in TOOLLIST", "VEROZ5521.exe", tool, "mark\n", true, false, true, false, true, "", ""},
      {"older than the threshold, declined", "VEROZ5300.exe", tool, "mark\n", false, false, false, false, false, "",
       "사용자선수툴실행종료(툴버전 VEROZ5300.exe, 10.0.0.9)", ask},
      {"older than the threshold, accepted", "VEROZ5300.exe", tool, "mark\n", false, false, true, false, true, "\"0\"", "", ask},
      {"older, declined while a holder of package files runs", "VEROZ5300.exe", tool, "mark\n", false, false, false, false, false, "",
       "사용자선수툴실행종료(툴버전 VEROZ5300.exe, 10.0.0.9)[Tool01_1.exe,업데이트1개,](Viewer.exe,실행프로세스1건)", ask, true},
      {"newer, with No as the answer to any question: never asked", "VEROZ5600.exe", tool, "mark\n", false, false, false, false, true,
       "\"0\" \"1\"", ""},
      {"ends with 0 without marking itself", "VEROZ5521.exe", tool, "", false, false, true, false, false, "\"0\" \"1\"",
       "사용자선수툴실행종료(툴버전 VEROZ5521.exe, 10.0.0.9)"},
      {"ends with 3", "VEROZ5521.exe", tool, "exit 3\n", false, false, true, false, false, "\"0\" \"1\"",
       "선수 툴(VEROZ5521.exe) 실행 중 오류가 발생하였습니다. (선수 툴 강제종료 등) 업데이트를 종료합니다."},
      {"hidden operation: not started, no line", "VEROZ5521.exe", tool, "mark\n", false, true, true, false, false, "", ""},
      {"hidden operation, already recorded: loads", "VEROZ5521.exe", tool, "mark\n", true, true, true, false, true, "", ""},
      {"nowhere to be found", "VEROZ5521.exe", "", "", false, false, true, false, false, "",
       "선수 툴(VEROZ5521.exe) 파일이 존재하지 않습니다.\r\n업데이트를 종료합니다.", "선수 툴(VEROZ5521.exe) 파일이 존재하지 않습니다.\r\n업데이트를 종료합니다."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sql("DELETE FROM TOOLLIST");
    if (row.alreadyRun) Sql("INSERT INTO TOOLLIST VALUES (" + QuotedLiteral(row.name) + ", '1.0.0.0', 'Y', CURRENT_DATE)");
    RemoveTree("D:\\CVL2000\\Temp");
    for (const std::string& folder : {staged, tool}) ::DeleteFileW(Wide(folder + row.name).c_str());
    const std::string path = (row.placedAt.empty() ? tool : row.placedAt) + row.name;
    if (!row.placedAt.empty()) PlaceTool(path, row.script);
    run = RunState{};
    run.HiddenRun = row.hidden;
    run.PrevToolRan = row.ranBefore;
    if (row.holders) {
      run.RunningHolderList.Add("Viewer.exe");
      run.RunSummary = "Tool01_1.exe,업데이트1개,";
    }
    ui.confirmAnswer = row.confirm;
    ui.confirms.clear();
    ui.errors.clear();
    const size_t mark = RunLogMark();
    TUpdater upd(ui, clock, run, db);
    upd.Pc.registeredIp = "10.0.0.9";
    const std::string listed = row.placedAt == staged ? path : row.name;  // staged: its path; else the name
    EXPECT_EQ(RunPrevTool(upd, listed), row.answer);
    const std::vector<std::string> started = row.placedAt.empty() ? std::vector<std::string>{} : Started(path);
    if (row.parameters.empty()) {
      EXPECT_TRUE(started.empty());
    } else {
      ASSERT_EQ(started.size(), 1u);
      EXPECT_EQ(started[0], path + " " + row.parameters);
    }
    if (row.failure.empty()) {
      EXPECT_TRUE(run.FailureList.Empty()) << run.FailureList[0];
    } else {
      ASSERT_EQ(run.FailureList.Size(), 1u) << row.failure;
      EXPECT_EQ(run.FailureList[0], row.failure);
    }
    EXPECT_EQ(run.PrevToolRan, row.ranBefore || (row.answer && !row.parameters.empty()));
    std::vector<std::string> boxes = ui.confirms;
    boxes.insert(boxes.end(), ui.errors.begin(), ui.errors.end());
    EXPECT_EQ(boxes, row.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.box});
    EXPECT_EQ(RunLogHas("    선수 툴 이미 실행완료됨 [", mark), row.alreadyRun);
  }
}

// The step around the prerequisite: its caption, the main window off the top while a prerequisite
// runs and back on top after, and its lines, on every way through.
TEST_F(DataTools, ThePrerequisiteStepShowsItsCaptionAndLeavesTheTopOnlyWhileOneRuns) {
  struct Row {
    const char* what;
    bool owner;  // the tool has a prerequisite
    bool recorded;
    std::vector<bool> topmost;
    const char* line;
  };
  const Row rows[] = {
      {"no prerequisite", false, false, {true}, "    선수 툴 없음"},
      {"already recorded", true, true, {true}, "    선수 툴 이미 실행완료됨 [VEROZ5521.exe]"},
      {"run now", true, false, {false, true}, "    선수 툴 실행완료 [VEROZ5521.exe]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sql("DELETE FROM TOOLLIST");
    if (row.recorded) Sql("INSERT INTO TOOLLIST VALUES ('VEROZ5521.exe', '1.0.0.0', 'Y', CURRENT_DATE)");
    PlaceTool("D:\\CVL2000\\Tool\\VEROZ5521.exe", "mark\n");
    run = RunState{};
    TUpdater upd(ui, clock, run, db);
    RecordingMainView window;
    upd.Window = &window;
    upd.ToolPath = "D:\\tools\\Tool01_6101.exe";
    if (row.owner) {
      run.PrevToolOwnerList.Add(upd.ToolPath);
      run.PrevToolList.Add("VEROZ5521.exe");
    }
    const size_t mark = RunLogMark();
    EXPECT_TRUE(CheckPrevTool(upd));
    EXPECT_EQ(window.captions, std::vector<std::string>{"업데이트(선수 툴 확인) Tool01_6101.exe"});
    EXPECT_EQ(window.topmost, row.topmost);
    EXPECT_TRUE(RunLogHas(row.line, mark));
    EXPECT_TRUE(RunLogHas("Finished 선수 툴 체크", mark));
  }
}

// The tool version is recorded for a successful tool08 tool only: not for a tool01 tool, not after
// a failed tool, not after a request to end the session.
TEST_F(DataTools, OnlyASuccessfulTool08ToolRecordsItsVersion) {
  const std::vector<std::string> addresses = HostAddresses();
  ASSERT_FALSE(addresses.empty());
  Sql("INSERT INTO PCINFO VALUES (" + QuotedLiteral(addresses.front()) + ", 'PC1', 1)");
  struct Row {
    const char* what;
    bool ok, tool08, terminating, recorded;
  };
  const Row rows[] = {
      {"tool01, success", true, false, false, false},
      {"tool08, failed", false, true, false, false},
      {"tool08, the session ending", true, true, true, false},
      {"tool08, success", true, true, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sql("DELETE FROM ModuleSetting");
    run = RunState{};
    run.Terminating = row.terminating;
    TUpdater upd(ui, clock, run, db);
    upd.Pc.hostAddresses = addresses;
    upd.Tool08 = row.tool08;
    upd.ToolPath = "D:\\tools\\Tool08_1.exe";
    upd.ToolVersion = "6.0.2.80";
    upd.FinishTool(row.ok, row.tool08, "");
    EXPECT_EQ(ExecuteStatement(admin, "SELECT VALUE FROM ModuleSetting").Rows.size(), row.recorded ? 1u : 0u);
  }
}

TEST_F(DataTools, TheToolVersionIsRecordedForThisPcOnly) {
  TUpdater upd(ui, clock, run, db);
  upd.Pc.hostAddresses = HostAddresses();
  const std::string first = upd.Pc.FirstHostAddress();
  ASSERT_FALSE(first.empty()) << "the host name does not resolve";
  upd.ToolVersion = "6.0.2.80";
  upd.RecordToolVersion();  // no PCINFO row for this PC: nothing
  auto rows = [&] { return ExecuteStatement(admin, "SELECT USERID, MODULE, TYPE, VALUE FROM ModuleSetting").Rows; };
  EXPECT_TRUE(rows().empty());
  Sql("INSERT INTO PCINFO VALUES (" + QuotedLiteral(first) + ", 'PC''7', 1)");  // a quote in the id stays one statement
  upd.RecordToolVersion();
  upd.ToolVersion = "6.0.3.1";
  upd.RecordToolVersion();  // the second run updates the row
  const auto written = rows();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0][0].value_or(""), "PC'7");
  EXPECT_EQ(written[0][1].value_or(""), "CvlChart");
  EXPECT_EQ(written[0][2].value_or(""), "Updated Tool Version");
  EXPECT_EQ(written[0][3].value_or(""), "6.0.3.1");
  const PcIdentity pc = IdentifyThisPc(*upd.Query);
  EXPECT_EQ(pc.registeredIp, first);
  EXPECT_EQ(pc.pcIds, std::vector<std::string>{"PC'7"});
}

TEST_F(DataTools, LookUpsInToolList) {
  Sql("INSERT INTO TOOLLIST VALUES ('VEROZ5521.exe', '5.5.2.1', 'Y', CURRENT_DATE), ('VEROZ5600.exe', '5.6.0.0', 'N', CURRENT_DATE),"
      " ('veroz4100.exe', '4.1.0.0', 'y', CURRENT_DATE), ('TETBL0001.exe', '9.9.9.9', 'Y', CURRENT_DATE)");
  auto q = CreateQuery(db);
  EXPECT_TRUE(DataToolHasRun(*q, "VEROZ5521.exe"));
  EXPECT_FALSE(DataToolHasRun(*q, "VEROZ5600.exe"));
  EXPECT_FALSE(DataToolHasRun(*q, "  "));
  EXPECT_FALSE(DataToolHasRun(*q, "O'Brien.exe"));  // a quote stays inside its literal
  EXPECT_EQ(LatestDataTool(*q, true, true), "VEROZ5521.exe");
  EXPECT_EQ(LatestDataTool(*q, false, true), "VEROZ5600.exe");
  EXPECT_EQ(LatestDataTool(*q, false, false), "5.6.0.0");
  Sql("DELETE FROM TOOLLIST");
  EXPECT_EQ(LatestDataTool(*q, true, true), "");
}

TEST_F(DataTools, TheFlaggedDataToolIsRegisteredAndStartedWhereThePcMayRunIt) {
  struct Row {
    const char* what;
    std::string ip;
    int execCheck;  // -1: no PCINFO row
    bool started;
  };
  const Row rows[] = {
      {"EXECCHECK 1", "10.0.0.9", 1, true},
      {"EXECCHECK 0", "10.0.0.9", 0, false},
      {"no PCINFO row", "10.0.0.9", -1, false},
      {"no registered IP: nothing at all", "", 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sql("DELETE FROM TOOLLIST");
    Sql("DELETE FROM PCINFO");
    if (row.execCheck >= 0) Sql("INSERT INTO PCINFO VALUES ('10.0.0.9', 'PC1', " + std::to_string(row.execCheck) + ")");
    PlaceTool("D:\\CVL2000\\Tool\\VEROZ5521.exe", "");
    PlaceTool("D:\\CVL2000\\Tool\\VEROZ5600.exe", "");
    run = RunState{};
    run.DataToolList.Add("D:\\CVL2000\\Tool\\VEROZ5521.exe");
    run.DataToolAutoRunList.Add("1");
    run.DataToolList.Add("VEROZ5600.exe");  // not deployed: its name alone
    run.DataToolAutoRunList.Add("1");       // the later flagged one is started
    auto q = CreateQuery(db);
    EndOfRunDataTool(run, *q, row.ip, ui);
    const auto listed = ExecuteStatement(admin, "SELECT TOOLNAME, EXECHK FROM TOOLLIST ORDER BY TOOLNAME").Rows;
    ASSERT_EQ(listed.size(), row.ip.empty() ? 0u : 2u);
    if (!row.ip.empty()) {
      EXPECT_EQ(listed[1][1].value_or(""), "N");
    }
    EXPECT_TRUE(Started("D:\\CVL2000\\Tool\\VEROZ5521.exe").empty());
    const std::vector<std::string> started = Started("D:\\CVL2000\\Tool\\VEROZ5600.exe");
    EXPECT_EQ(started, row.started ? std::vector<std::string>{"D:\\CVL2000\\Tool\\VEROZ5600.exe \"-h\""} : std::vector<std::string>{});
  }
  EXPECT_TRUE(ui.errors.empty());
}

// The Tindle agent installer starts only on the PC named in FOPTION, when the service is in use and
// its folder exists.
TEST_F(DataTools, TheTindleAgentIsInstalledOnlyOnItsPc) {
  const std::vector<std::string> addresses = HostAddresses();
  ASSERT_FALSE(addresses.empty());
  const std::string first = addresses.front();
  const std::string installer = EtcFolder() + "Tindle\\Install_TindleAgent.exe";
  const std::string tindle = WithoutTrailingBackslash(ProgramFilesFolder()) + "\\Tarvex\\Tindle";
  struct Row {
    const char* what;
    const char* runningPc;  // FOPTION "TINDLE AGENT RUNNING PC"; null for no row
    const char* useTindle;  // "USE TINDLE" value; null for no row
    bool folder, started;
  };
  const Row rows[] = {
      {"this PC, in use, folder there", "PC1", "1", true, true},
      {"another PC", "PC2", "1", true, false},
      {"no running PC named", nullptr, "1", true, false},
      {"the service not in use", "PC1", "0", true, false},
      {"no Tindle folder", "PC1", "1", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Sql("TRUNCATE FOPTION, PCINFO");
    Sql("INSERT INTO PCINFO VALUES (" + QuotedLiteral(first) + ", 'PC1', 0)");
    if (row.runningPc) Sql(std::string("INSERT INTO FOPTION VALUES ('', '', 'TINDLE AGENT RUNNING PC', '") + row.runningPc + "')");
    if (row.useTindle) Sql(std::string("INSERT INTO FOPTION VALUES ('', '', 'USE TINDLE', '") + row.useTindle + "')");
    RemoveTree(tindle);
    if (row.folder) MakeFolders(tindle);
    PlaceTool(installer, "");
    const size_t mark = RunLogMark();
    auto q = CreateQuery(db);
    TindleAgentStep(*q, IdentifyThisPc(*q));
    EXPECT_TRUE(RunLogHas("    → Tindle 에이전트 실행가능 PC여부 체크", mark));
    EXPECT_EQ(RunLogHas("    → Tindle 에이전트 실행가능 PC 아님", mark), !row.started);
    // The shell starts it and does not wait: a line is whole once its line break is there.
    for (int i = 0; i < (row.started ? 250 : 25) && ReadFileBytes(installer + ".log").find('\n') == std::string::npos; ++i) ::Sleep(40);
    const std::vector<std::string> started = Started(installer);
    if (row.started) {
      ASSERT_EQ(started.size(), 1u);
      EXPECT_NE(started[0].find("/mode cvlupdate"), std::string::npos) << started[0];
      EXPECT_TRUE(RunLogHas("    → Tindle 에이전트 설치파일(Install_TindleAgent.exe) 실행완료", mark));
    } else {
      EXPECT_TRUE(started.empty());
    }
  }
  RemoveTree(tindle);
}

// A TOOLLIST insert that fails is shown to the user, and the other data tools are still registered.
TEST_F(DataTools, AFailedRegistrationIsShownAndTheOthersGoOn) {
  Sql("INSERT INTO PCINFO VALUES ('10.0.0.9', 'PC1', 0)");
  run.DataToolList.Add("VEROZ5521" + std::string(70, 'x') + ".exe");  // longer than TOOLNAME holds
  run.DataToolAutoRunList.Add("0");
  run.DataToolList.Add("VEROZ5600.exe");
  run.DataToolAutoRunList.Add("0");
  auto q = CreateQuery(db);
  EndOfRunDataTool(run, *q, "10.0.0.9", ui);
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_NE(ui.errors[0].find("too long"), std::string::npos) << ui.errors[0];
  const auto listed = ExecuteStatement(admin, "SELECT TOOLNAME FROM TOOLLIST").Rows;
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0][0].value_or(""), "VEROZ5600.exe");
}
