// Whole runs of a packed update tool under Wine: agent double, caller double, a clinic on D:.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "db/Database.h"
#include "app/UpdateByPass.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "Plan.h"
#include "Scenario.h"
#include "db/ConnectionEntry.h"
#include "db/Dialect.h"
#include "db/Odbc.h"
#include "platform/FileSystem.h"
#include "platform/Network.h"

using namespace updater;
using namespace updater::test;


TEST_F(Scenario, OneByHandDeploysBacksUpRecordsAndReports) {
  ::CopyFileW(Wide(BuildFolder() + "ver_none.dll").c_str(), L"D:\\CVL2000\\Exe\\Main.dll", FALSE);
  const std::string installed = ReadFileBytes("D:\\CVL2000\\Exe\\Main.dll");
  const std::string fresh = ReadFileBytes(BuildFolder() + "ver_plain.dll");
  std::string big(64u << 20, '\0');
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
  const std::string tool =
      Pack("Tool01_6001.exe", {Module("Main.dll", fresh), Module("New.txt", "new file"), Module("Big.bin", big, 5)}, true);
  Script("267 0\n");
  RunningTool run("\"" + tool + "\"");
  // The picture is taken once the window shows what it claims: three files, one of them under way.
  if (HWND window = run.WaitForWindow(L"TfmMain", nullptr, 30000); window && WaitForChildTexts(window, {"3", "1"}, 30000))
    SaveScreenshot("main-window-deploy");
  EXPECT_EQ(run.Wait(), 0u);

  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Main.dll"), fresh);
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\New.txt"), "new file");
  EXPECT_EQ(FileSize("D:\\CVL2000\\Etc\\Big.bin"), static_cast<int64_t>(big.size()));
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\Main.dll"), installed);
  wchar_t value[128];
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool01_6001.exe", L"", value, 128, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value).substr(0, 2), "Y,");
  ::GetPrivateProfileStringW(L"LATESTTOOL", L"RUNVER", L"", value, 128, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value), "1.0.0.1");
  EXPECT_TRUE(AgentGot("267\t[Update:item_code=01;ref_down=1;]"));
  EXPECT_TRUE(AgentGot("259\t[Result:item_code=01;run_version=1.0.0.1;result_code=0;]"));
  EXPECT_TRUE(LogHas("업데이트 툴 자동실행 [" + tool + "]"));
  EXPECT_TRUE(LogHas("    SHA-256 확인 [3개 파일 일치]"));
  EXPECT_TRUE(LogHas("Start procedure ExecuteBackup (3개 파일)"));
  EXPECT_TRUE(LogHas("Finished procedure ExecuteUpdate"));
  const std::vector<std::string> lines = Log();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].substr(21), "업데이트 종료");
  // The support desk's reader tells the run as it went.
  const toolpack::RunRecord read = LastRun();
  EXPECT_EQ(read.EndState(), "ended");
  EXPECT_EQ(read.HowStarted(), "by hand");
  EXPECT_FALSE(read.Failed());
  ASSERT_EQ(read.tools.size(), 1u);
  EXPECT_EQ(read.tools[0].tool, tool);
  EXPECT_EQ(read.tools[0].version, "1.0.0.1");
  EXPECT_TRUE(read.tools[0].Deployed());
  EXPECT_EQ(read.tools[0].copied, 3);
  EXPECT_EQ(read.tools[0].digestsMatched, 3);
  EXPECT_TRUE(read.unknownLines.empty()) << read.unknownLines.front();
  // toolpack.exe log on the clinic PC reads its own Log folder.
  std::ostringstream out;
  EXPECT_EQ(toolpack::Log({}, out, {}), 0u);
  EXPECT_NE(out.str().find("deployed 3, kept 0, skipped 0"), std::string::npos) << out.str();
}

// A tool signed after packing (the signing test leaves it) loads, checks its digests and deploys.
TEST_F(Scenario, ASignedToolDeploysAsItWasPacked) {
  const std::string signedTool = BuildFolder() + "signed\\Tool01_0045.exe";
  ASSERT_TRUE(FileExists(signedTool)) << "made by the test e2e_signed_tool, which ctest runs first";
  ::CopyFileW(Wide(signedTool).c_str(), L"D:\\tools\\Tool01_0045.exe", FALSE);
  Script("267 0\n");
  EXPECT_EQ(RunTool("\"D:\\tools\\Tool01_0045.exe\"").exitCode, 0u);
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\ver_plain.dll"), ReadFileBytes(BuildFolder() + "ver_plain.dll"));
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\DLL\\ver_commas.dll"), ReadFileBytes(BuildFolder() + "ver_commas.dll"));
  EXPECT_TRUE(LogHas("    SHA-256 확인 [2개 파일 일치]"));
  EXPECT_TRUE(AgentGot("result_code=0;]"));
}

// toolpack's dry run over the clinic's folder, then a real run of the same tool: each file is
// deployed, kept or skipped, and backed up or not, as the plan said, and the plan says what the
// rules ask for.
TEST_F(Scenario, ThePlanOfAToolIsWhatItsRunDoes) {
  const std::string versioned = ReadFileBytes(BuildFolder() + "ver_plain.dll");  // 6.0.10.1
  const std::string commas = ReadFileBytes(BuildFolder() + "ver_commas.dll");    // 6.0.2.80
  const std::string none = ReadFileBytes(BuildFolder() + "ver_none.dll");        // no version
  struct Row {
    const char* name;
    std::string content;
    uint8_t copyType;
    int index;
    std::optional<std::string> installed;
    const char* decision;
    bool backup;
  };
  const Row rows[] = {
      {"Older.dll", versioned, 0, 6, none, "deploy", true},
      {"Same.dll", commas, 0, 34, commas, "keep", false},
      {"Forced.dll", commas, 7, 6, commas, "deploy", true},
      {"Notes.txt", "new notes", 0, 6, std::string("old"), "deploy", true},
      {"Equal.txt", "54321", 0, 6, std::string("12345"), "keep", false},
      {"New.txt", "new", 0, 5, std::nullopt, "deploy", false},
      {"OnlyOver.dll", "x", 8, 6, std::nullopt, "skip", false},
      {"Check.cfg", "y", 6, 35, std::nullopt, "skip", false},
      {"Viewer.exe", "viewer", 0, 6, std::nullopt, "deploy", false},
  };
  MakeFolders("D:\\CVL2000\\Exe\\DLL");
  std::vector<NewResource> package;
  for (const Row& r : rows) {
    package.push_back(Module(r.name, r.content, r.index, 1, "", r.copyType));
    if (r.installed) WriteFileBytes("D:\\CVL2000\\" + std::string(SubFolderEntry(r.index)) + "\\" + r.name, *r.installed);
  }
  const std::string tool = Pack("Tool01_6101.exe", package);

  std::optional<DummyProcess> viewer(std::in_place, "D:\\run\\Viewer.exe", "");
  const toolpack::ToolPlan plan = toolpack::MakePlan(tool, "D:\\CVL2000");
  viewer.reset();  // the run would otherwise ask first
  ASSERT_EQ(plan.files.size(), std::size(rows));
  EXPECT_EQ(plan.programs, std::vector<std::string>{"viewer.exe"});
  EXPECT_EQ(plan.runningNow, std::vector<std::string>{"viewer.exe"});
  std::map<std::string, std::string> before;
  for (const toolpack::PlannedFile& f : plan.files)
    if (!f.target.empty() && FileExists(f.target)) before[f.name] = ReadFileBytes(f.target);
  Script("267 0\n");
  EXPECT_EQ(RunTool("\"" + tool + "\"").exitCode, 0u);

  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const auto f = std::find_if(plan.files.begin(), plan.files.end(), [&](const toolpack::PlannedFile& p) { return p.name == r.name; });
    ASSERT_NE(f, plan.files.end());
    EXPECT_EQ(f->decision, r.decision) << f->reason;
    EXPECT_EQ(!f->backup.empty(), r.backup);
    // What the run left: the package's content, the old content, or nothing.
    const std::string expected = f->decision == "deploy" ? r.content : f->decision == "keep" ? before[r.name] : "";
    EXPECT_EQ(f->target.empty() ? "" : ReadFileBytes(f->target), expected);
    EXPECT_EQ(f->decision == "skip", f->target.empty());
    std::vector<std::string> backups;
    FindNamed("D:\\CVL2000\\Temp\\FX4\\Backup", ToLowerAscii(r.name), backups);
    EXPECT_EQ(backups.size(), f->backup.empty() ? 0u : 1u);
    if (!f->backup.empty()) {
      EXPECT_EQ(ReadFileBytes(f->backup), *r.installed);
    }
  }
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\OnlyOver.dll"));
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\CheckUp"));
  EXPECT_EQ(plan.bytesToWrite, versioned.size() + commas.size() + 9 + 3 + 6);
}

TEST_F(Scenario, TwoRefusedToolsAndTheCallerStartedAgain) {
  const std::string a = Pack("Tool01_7001.exe", {Module("A.txt", "a")});
  const std::string b = Pack("Tool01_7002.exe", {Module("B.txt", "b")});
  Script("260 0 " + a + ", " + b + "\n267 100017 지금은 실행할 수 없는 툴입니다\n267 10060\n");
  EXPECT_EQ(RunTool("\"" + a + "\" Caller.exe admin").exitCode, 0u);
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\A.txt"));
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\B.txt"));
  EXPECT_TRUE(AgentGot("260\t[Update:item_code=01;run_version="));
  EXPECT_TRUE(LogHas("CvlUpdaterErrLog [업데이트 툴 유효성 검사실패(ErrorCode:100017, ResultText:지금은 실행할 수 없는 툴입니다)]"));
  EXPECT_FALSE(LogHas("ErrorCode:10060"));
  EXPECT_EQ(CallerLine(), "D:\\CVL2000\\Exe\\Caller.exe");
}

TEST_F(Scenario, AFailedLoadEndsTheRun) {
  const std::string a = Pack("Tool01_7101.exe", {Module("..\\evil.txt", "x")});
  const std::string b = Pack("Tool01_7102.exe", {Module("B.txt", "b")});
  Script("260 0 " + a + "," + b + "\n267 0\n");
  EXPECT_EQ(RunTool("\"" + a + "\" Caller.exe").exitCode, 0u);
  EXPECT_TRUE(LogHas("    AddUpdater(에러발생,Err.Message:Damaged resource: unsafe file name"));
  EXPECT_FALSE(LogHas("업데이트 툴 자동실행 [" + b + "]"));
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\B.txt"));
  EXPECT_TRUE(AgentGot("259\t[Result:item_code=01;run_version=1.0.0.1;result_code=1;]"));
}

TEST_F(Scenario, ARunningProgramAsksFirstAndCancelEndsTheRun) {
  DummyProcess viewer("D:\\CVL2000\\Exe\\Viewer.exe", "");
  const std::string tool = Pack("Tool01_7201.exe", {Module("Viewer.exe", "new viewer")});
  Script("260 0 " + tool + "\n267 0\n");
  RunningTool run("\"" + tool + "\" Caller.exe");
  HWND dialog = run.WaitForWindow(L"TfmUpdateByPass", L"업데이트질문", 30000);
  ASSERT_NE(dialog, nullptr) << "the deferral dialog did not appear";
  ::Sleep(300);
  SaveScreenshot("deferral-dialog");
  ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(viewer.Running());
  EXPECT_TRUE(LogHas("사용자툴실행취소(호출실행,Caller.exe)[Tool01_7201.exe,업데이트1개,](Viewer.exe,실행프로세스1건)"));
  EXPECT_FALSE(LogHas("업데이트 툴 자동실행"));
  EXPECT_FALSE(AgentGot("267\t"));
  EXPECT_EQ(CallerLine(), "D:\\CVL2000\\Exe\\Caller.exe");
  const toolpack::RunRecord read = LastRun();
  EXPECT_TRUE(read.cancelled);
  EXPECT_EQ(read.caller, "Caller.exe");
  EXPECT_TRUE(read.tools.empty());
  EXPECT_EQ(read.EndState(), "ended (caller started again)");
  EXPECT_FALSE(read.Failed());
}

TEST_F(Scenario, EightQueuedToolsStartWithoutAsking) {
  DummyProcess viewer("D:\\CVL2000\\Exe\\Viewer.exe", "");
  const std::string tool = Pack("Tool01_7301.exe", {Module("Viewer.exe", "new viewer")});
  std::string list;
  for (int i = 0; i < 8; ++i) list += (i ? "," : "") + tool;
  Script("260 0 " + list + "\n267 10060\n");  // each is then skipped quietly
  RunningTool run("\"" + tool + "\" Caller.exe");
  EXPECT_EQ(run.WaitForWindow(L"TfmUpdateByPass", L"업데이트질문", 3000), nullptr);
  EXPECT_EQ(run.Wait(60000), 0u);
  EXPECT_FALSE(LogHas("사용자툴실행취소"));
  size_t approvals = 0;
  for (const std::string& l : AgentLog()) approvals += l.rfind("267\t", 0) == 0;
  EXPECT_EQ(approvals, 8u);
}

TEST_F(Scenario, AFailedLastCopyOfATool08RunRollsBackAndBypasses) {
  WriteFileBytes("D:\\CVL2000\\Exe\\Last.dat", "installed");
  DummyProcess locker("D:\\run\\Locker.exe", "--hold D:\\CVL2000\\Exe\\Last.dat", true);
  const std::string tool = Pack("Tool08_1.exe", {Module("Last.dat", "newer content")});
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\tools\\Caller.exe", FALSE);
  Script("260 0 " + tool + "\n267 0\n");
  EXPECT_EQ(RunTool("\"" + tool + "\" Caller.exe").exitCode, 0u);
  EXPECT_TRUE(LogHas("    백업파일롤백"));
  EXPECT_TRUE(AgentGot("259\t[Result:item_code=08;run_version=1.0.0.1;result_code=1;]"));
  EXPECT_EQ(CallerLine("D:\\tools\\"), "Caller.exe UPDATE_BYPASS");
  wchar_t value[128];
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool08_1.exe", L"", value, 128, L"D:\\CVL2000\\UpdaterChart.ini");
  EXPECT_EQ(Narrow(value).substr(0, 2), "N,");
}

TEST(IdleDeferral, TheMonitorWatchesTheLastMinuteEverySecond) {
  FakeClock clock;
  TCheckIdleTime idle(clock);
  clock.tick = 100000 + 179 * 60 * 1000;  // 179 minutes without input
  clock.lastInput = 100000;
  idle.Start();
  idle.Tick();
  EXPECT_EQ(idle.IdleSeconds, 179u * 60);
  EXPECT_EQ(idle.Interval(), 5000u);
  clock.tick += 1000;
  idle.Tick();
  EXPECT_EQ(idle.Interval(), 1000u);  // inside the last minute
  EXPECT_FALSE(idle.IdleReached);
  clock.lastInput = clock.tick - 2000;  // the user moves: the count starts over
  idle.Tick();
  EXPECT_EQ(idle.IdleSeconds, 2u);
  EXPECT_EQ(idle.Interval(), 5000u);
  clock.tick = 0x00001000;  // the tick counter wrapped since the last input
  clock.lastInput = 0xFFFFF000;
  EXPECT_EQ(GetIdleSeconds(clock), 8u);
  clock.lastInput = clock.tick - 180u * 60 * 1000;
  idle.Tick();
  EXPECT_TRUE(idle.IdleReached);
  EXPECT_FALSE(idle.Enabled());
}

TEST(IdleDeferral, TheDialogAcceptsByItselfAfterTheIdlePeriod) {
  FakeClock clock;
  clock.tick = 200000000;
  clock.lastInput = clock.tick - 180u * 60 * 1000;  // already idle for 180 minutes
  TCheckIdleTime idle(clock);
  TfmUpdateByPass dialog(::GetModuleHandleW(nullptr), idle);
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(dialog.Execute(), DeferralAnswer::IdleReached);
  EXPECT_LT(::GetTickCount() - start, 15000u);  // about 6 s: the monitor's first tick after 5 s, then the dialog's
  EXPECT_EQ(dialog.RemainTimeText(), "0 초 후 자동실행");
}

TEST_F(Scenario, AHiddenRunStartedByACallerNeverShowsAWindow) {
  TUpdateFileResource cfg{"UPDATECONFIG", "Config.txt", "", 0, 1, -1, "", "", 0};
  const std::string text = "HIDDEN=1\r\n";
  const std::string z = DeflateBest(text.data(), text.size());
  const std::string tool =
      Pack("Tool01_7401.exe", {Module("Hidden.txt", "quiet"), {"UPDATECONFIG", MakeResourceName(cfg), kPackageLanguage, 0, Bytes(z)}});
  Script("260 0 " + tool + "\n267 0\n");
  RunningTool run("\"" + tool + "\" Caller.exe");
  EXPECT_EQ(run.WaitForWindow(L"TfmMain", nullptr, 5000), nullptr);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Hidden.txt"), "quiet");
  EXPECT_TRUE(LogHas("    실행옵션 → [HIDDEN=1, 숨김모드로 자동실행]"));
}

// A tool08 run also records the tool version as this PC's setting of CvlChart.
TEST_F(Scenario, ATool08RunWithProgramsInUseNeitherAsksNorShowsItself) {
  OdbcEnvironment env;
  OdbcConnection admin(env);
  ConnectAsClinic(admin);
  ExecuteStatement(admin, "TRUNCATE PCINFO, ModuleSetting");
  ExecuteStatement(admin, "INSERT INTO PCINFO VALUES (" + QuotedLiteral(HostAddresses().at(0)) + ", 'PC8', 0)");
  DummyProcess viewer("D:\\CVL2000\\Exe\\Viewer.exe", "");
  const std::string tool = Pack("Tool08_2.exe", {Module("Viewer.exe", "new viewer")});
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\tools\\Caller.exe", FALSE);
  Script("260 0 " + tool + "\n267 0\n");
  RunningTool run("\"" + tool + "\" Caller.exe");
  EXPECT_EQ(run.WaitForWindow(L"TfmUpdateByPass", L"업데이트질문", 2000), nullptr);
  EXPECT_EQ(run.WaitForWindow(L"TfmMain", nullptr, 2000), nullptr);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_FALSE(viewer.Running());  // ended to replace its file
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Viewer.exe"), "new viewer");
  EXPECT_EQ(CallerLine("D:\\tools\\"), "Caller.exe");
  const auto rows = ExecuteStatement(admin, "SELECT USERID, MODULE, TYPE, VALUE FROM ModuleSetting").Rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].value_or(""), "PC8");
  EXPECT_EQ(rows[0][1].value_or(""), "CvlChart");
  EXPECT_EQ(rows[0][2].value_or(""), "Updated Tool Version");
  EXPECT_EQ(rows[0][3].value_or(""), "1.0.0.1");
  ExecuteStatement(admin, "TRUNCATE PCINFO, ModuleSetting");
}

// Damaged or hostile update tools, each listed by the agent in a caller run: none writes anything
// outside the client folders, none is reported as a success, and the agent hears result 1. A tool
// with a digest list is held to it before any process is ended or client file touched.
TEST_F(Scenario, DamagedToolsAreRefusedAndReportedAsFailed) {
  const std::string plain = "evil content stored plain";
  struct Row {
    const char* what;
    std::vector<NewResource> package;  // besides Good.txt
    const char* message;
    std::function<void(std::string& image)> spoil;
    bool sealed = false;              // the package carries the digest list of every resource
    std::vector<NewResource> after;   // written in after the list was made
  };
  TUpdateFileResource cfg{"UPDATECONFIG", "Config.txt", "", 0, 1, -1, "", "", 1};
  const NewResource config{"UPDATECONFIG", MakeResourceName(cfg), kPackageLanguage, 0, Bytes("HIDDEN=0\r\n")};
  const NewResource hidden{"UPDATECONFIG", MakeResourceName(cfg), kPackageLanguage, 0, Bytes("HIDDEN=1\r\n")};
  const NewResource moved = Module("evil.dll", "x", 0, 0, "C:\\probe-outside");
  const std::vector<Row> rows = {
      {"cut short inside its last section", {Module("evil.txt", std::string(200000, 'e'))}, "",
       [](std::string& image) { image.resize(image.size() - 1000); }},
      {"a folder below the install root that climbs out", {Module("evil.txt", "x", 0, 1, "..\\..\\..\\evil")}, "Damaged resource: "},
      {"a relative folder for base kind 0", {Module("evil.txt", "x", 0, 0, "..\\..\\evil")}, "Damaged resource: "},
      {"a drive inside an install-root folder", {Module("evil.txt", "x", 0, 1, "C:\\evil")}, "Damaged resource: "},
      {"a name ending in a dot", {Module("evil.txt.", "x")}, "Damaged resource: "},
      {"a sub-folder index outside the table", {Module("evil.txt", "x", 99)}, "Damaged resource: "},
      {"a device name", {Module("NUL.txt", "evil")}, "Damaged resource: "},
      {"one byte of a plain file flipped in the image", {PlainModule("evil.txt", plain)},
       "Damaged resource: content differs from its SHA-256 digest \"evil.txt\"",
       [&](std::string& image) { image[image.rfind(plain) + 5] ^= 0x20; }, true},  // the newest copy: sealing appends a section
      {"a zlib file that inflates to other content", {Module("evil.dat", "evil content")},
       "Damaged resource: content differs from its SHA-256 digest \"evil.dat\"", {}, true, {Module("evil.dat", "evil content, version 2")}},
      {"a file missing from the digest list", {}, "Damaged resource: not in the package's digest list \"evil.txt\"", {}, true,
       {Module("evil.txt", "x")}},
      {"a file moved to another folder and copy type after the list was made", {Module("evil.dll", "x")},
       "Damaged resource: not in the package's digest list \"evil.dll\"", {}, true, {moved}},
      {"a run option changed after the list was made", {Module("evil.txt", "x"), config},
       "Damaged resource: data differs from its SHA-256 digest \"Config.txt\"", {}, true, {hidden}},
      {"a resource of another type that names a data tool", {Module("evil.txt", "x")},
       "Damaged resource: not in the package's digest list \"VEROZ9999.exe\"", {}, true,
       {{"FOO", MakeResourceName({"FOO", "VEROZ9999.exe", "", 0, 1, 15, "", "", 1}), kPackageLanguage, 0, Bytes("x")}}},
      {"the same file name to Windows in another case and script", {Module("evil\xD0\x96.txt", "x"), Module("evil\xD0\xB6.txt", "y")},
       "Damaged resource: the same file name as \"evil\xD0\x96.txt\" to Windows \"evil\xD0\xB6.txt\"", {}, true},
  };
  const std::string runner = Pack("Tool01_9000.exe", {});
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string name = "Tool01_91" + std::to_string(10 + n++) + ".exe";
    std::vector<NewResource> package = row.package;
    package.push_back(Module("Good.txt", "fine"));
    const std::string tool = Pack(name, package, row.sealed);
    if (!row.after.empty()) {
      const std::vector<unsigned char> changed = WriteResources(Bytes(ReadFileBytes(tool)), row.after);
      WriteFileBytes(tool, std::string(changed.begin(), changed.end()));
    }
    if (row.spoil) {
      std::string image = ReadFileBytes(tool);
      row.spoil(image);
      WriteFileBytes(tool, image);
    }
    ::DeleteFileW(L"D:\\CVL2000\\Exe\\appinterface.log");
    Script("260 0 " + tool + "\n267 0\n");
    EXPECT_EQ(RunTool("\"" + runner + "\" Caller.exe").exitCode, 0u);
    EXPECT_TRUE(AgentGot("result_code=1;]"));
    EXPECT_FALSE(AgentGot("result_code=0;]"));
    EXPECT_TRUE(LogHas("    AddUpdater(에러발생,Err.Message:" + std::string(row.message)));
    wchar_t value[128];
    ::GetPrivateProfileStringW(L"HISTORY", Wide(name).c_str(), L"", value, 128, L"D:\\CVL2000\\Updater.ini");
    EXPECT_EQ(Narrow(value).substr(0, 2), "N,");
    EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\Good.txt"));  // nothing of the tool is deployed
    const toolpack::RunRecord read = LastRun();
    ASSERT_EQ(read.tools.size(), 1u);
    ASSERT_NE(read.tools[0].LoadFailure(), nullptr);
    EXPECT_EQ(read.tools[0].LoadFailure()->message.substr(0, std::string(row.message).size()), row.message);
    EXPECT_TRUE(read.Failed());
    std::vector<std::string> found;
    for (const char* root : {"C:", "D:"}) FindNamed(root, "evil", found);
    EXPECT_TRUE(found.empty()) << found.front();
  }
  EXPECT_TRUE(LogHas("Invalid Windows Image"));
}

// A blocked backup or a blocked middle copy ends the tool as failed with every client file as it was.
TEST_F(Scenario, ABlockedBackupOrMiddleCopyLeavesTheClientAsItWas) {
  for (const bool backupBlocked : {true, false}) {
    SCOPED_TRACE(backupBlocked ? "backup blocked" : "middle copy blocked");
    RemoveTree("D:\\CVL2000\\Temp");
    for (const char* f : {"A.txt", "B.txt", "C.txt"}) WriteFileBytes(std::string("D:\\CVL2000\\Exe\\") + f, std::string("old ") + f);
    ::RemoveDirectoryW(L"D:\\CVL2000\\Exe\\B2.txt");
    if (backupBlocked) MakeFolders("D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\B.txt");
    else MakeFolders("D:\\CVL2000\\Exe\\B2.txt");
    const std::string tool = Pack(backupBlocked ? "Tool01_9201.exe" : "Tool01_9202.exe",
                                  {Module("A.txt", "new A!"), Module("B.txt", "new B!"), Module("B2.txt", "new"), Module("C.txt", "new C!")});
    ::DeleteFileW(L"D:\\CVL2000\\Exe\\appinterface.log");
    Script("267 0\n");
    EXPECT_EQ(RunTool("\"" + tool + "\"").exitCode, 0u);
    for (const char* f : {"A.txt", "B.txt", "C.txt"})
      EXPECT_EQ(ReadFileBytes(std::string("D:\\CVL2000\\Exe\\") + f), std::string("old ") + f) << f;
    EXPECT_EQ(FolderExists("D:\\CVL2000\\Exe\\B2.txt"), !backupBlocked);
    EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\B2.txt"));
    EXPECT_TRUE(AgentGot("result_code=1;]"));
    EXPECT_FALSE(AgentGot("result_code=0;]"));
    // The failure summary comes before the closing line, which stays the last line of the run.
    const std::vector<std::string> lines = Log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2].substr(21), "업데이트 종료");
    EXPECT_NE(lines[lines.size() - 3].find("→ CvlUpdaterErrLog [FileCopyWithProgress [에러발생(2)("), std::string::npos);
    const toolpack::RunRecord read = LastRun();
    ASSERT_EQ(read.tools.size(), 1u);
    EXPECT_TRUE(read.tools[0].rolledBack);
    EXPECT_FALSE(read.tools[0].Deployed());
    EXPECT_EQ(read.tools[0].failures.at(0).step, "FileCopyWithProgress");
    // Only what this run backed up is restored: nothing when the backup was blocked, A and B when the middle copy was.
    const std::vector<std::string> restored = {"D:\\CVL2000\\Exe\\A.txt", "D:\\CVL2000\\Exe\\B.txt"};
    EXPECT_EQ(read.tools[0].restored, backupBlocked ? std::vector<std::string>() : restored);
    EXPECT_TRUE(read.tools[0].notPutBack.empty());
  }
  RemoveTree("D:\\CVL2000\\Temp");
  ::RemoveDirectoryW(L"D:\\CVL2000\\Exe\\B2.txt");
}

// A tool08 run that deployed nothing (approval refused, or an empty list) starts the caller with
// the bypass marker; the last line of a run without a caller is the closing line.
TEST_F(Scenario, NothingDeployedMeansTheCallerIsBypassed) {
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\tools\\Caller.exe", FALSE);
  const std::string tool = Pack("Tool08_3.exe", {Module("T.txt", "t")});
  for (const std::string& script : {"260 0 " + tool + "\n267 100017 no\n", std::string("260 0\n")}) {
    SCOPED_TRACE(script);
    ::DeleteFileW(L"D:\\tools\\caller.txt");
    Script(script);
    EXPECT_EQ(RunTool("\"" + tool + "\" Caller.exe").exitCode, 0u);
    EXPECT_EQ(CallerLine("D:\\tools\\"), "Caller.exe UPDATE_BYPASS");
    EXPECT_FALSE(FileExists("D:\\CVL2000\\Exe\\T.txt"));
  }
}

// The database gate in front of everything: an unreachable server shows the database message and
// ends the tool before it touches a client file; a server in recovery shows its error and ends it
// with exit code 1.
TEST_F(Scenario, TheDatabaseGateEndsTheToolBeforeItTouchesAFile) {
  WriteFileBytes("D:\\CVL2000\\Exe\\Gate.txt", "installed");
  const std::string tool = Pack("Tool01_9300.exe", {Module("Gate.txt", "newer")});
  Script("267 0\n");
  const std::string standby = EnvironmentValue("UPDATER_PGSTANDBYPORT");
  struct Row {
    const char* what;
    std::string port;
    const char* message;
    uint32_t exitCode;
    bool killed = false;  // at the box: the log already says why
  };
  const Row rows[] = {
      {"nothing listens", "1", "Corvel 데이터베이스 연결정보가 잘못 설정되어 있거나", 0},
      {"a standby in recovery", standby, "DB가 복구모드입니다.", 1},
      {"nothing listens, and the tool is killed at the box", "1", "Corvel 데이터베이스 연결정보가 잘못 설정되어 있거나", 98, true},
  };
  WriteFileBytes("C:\\windows\\CVL2000.ini", "[ISINTERNET]\r\nDO NOT CHECK INTERNET=1\r\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.port.empty()) continue;
    RemoveTree("D:\\CVL2000\\Log");  // each row reads only the lines it wrote
    WriteFileBytes("D:\\CVL2000\\DBServer.ini",
                   "[Connection Config]\r\nDBMSKind=POSTGRESQL\r\nPGHostIpAddress=127.0.0.1\r\nPGPort=" + row.port + "\r\n");
    RunningTool run("\"" + tool + "\"");
    HWND box = run.WaitForWindow(L"#32770", L"업데이트", 30000);
    ASSERT_NE(box, nullptr) << "no message box";
    const std::vector<std::string> texts = ChildTexts(box);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(row.message, 0) == 0; }));
    if (row.killed) {
      EXPECT_EQ(run.Kill(), row.exitCode);
    } else {
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
      EXPECT_EQ(run.Wait(), row.exitCode);
    }
    EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Gate.txt"), "installed");
    EXPECT_FALSE(LogHas("업데이트 툴 실행시작"));
    EXPECT_TRUE(LogHas(std::string("StartupDatabaseGate [에러발생(") + row.message));  // the log says why
    const toolpack::RunRecord read = LastRun();
    EXPECT_EQ(read.EndState(), "refused by the database");
    ASSERT_EQ(read.gateRefusals.size(), 1u);
    EXPECT_EQ(read.gateRefusals[0].rfind(row.message, 0), 0u) << read.gateRefusals[0];
    EXPECT_TRUE(AgentLog().empty());
  }
  ::DeleteFileW(L"C:\\windows\\CVL2000.ini");
}

// A fault inside the constants DLL ends the tool with a box of its own and a line in the run log
// naming the fault and the module, not with the system's crash dialog and no trace.
TEST_F(Scenario, AFaultInsideAnOutsideDllLeavesALogLine) {
  WriteFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini",
                 ReadFileBytes("D:\\CVL2000\\Exe\\CVLSConst.ini") + "[Fault]\r\nWriteToAddressZero=1\r\n");
  WriteFileBytes("D:\\CVL2000\\Exe\\Fault.txt", "installed");
  const std::string tool = Pack("Tool01_9301.exe", {Module("Fault.txt", "newer")});
  RunningTool run("\"" + tool + "\"");
  HWND box = run.WaitForWindow(L"#32770", L"업데이트", 30000);
  ASSERT_NE(box, nullptr) << "no box of our own";
  const std::vector<std::string> texts = ChildTexts(box);
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& t) { return t.rfind("업데이트 툴 실행 에러", 0) == 0; }));
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  const uint32_t code = run.Wait(30000);
  std::string lines;
  for (const std::string& line : Log()) lines += line + "\n";
  EXPECT_TRUE(code == 0xC0000005u || code == 0xC000001Du) << std::hex << code;  // the fault, or how an emulator reports it
  char expected[64];
  std::snprintf(expected, sizeof expected, "UnhandledException [에러발생(0x%08X at 0x", code);
  EXPECT_TRUE(LogHas(expected)) << lines;
  EXPECT_TRUE(LogHas(", CVLSConst.dll)]")) << lines;
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Exe\\Fault.txt"), "installed");
}

// A package that carries its prerequisite data tool: the tool runs it first, from the staging
// folder, with "0" "1"; after the deploy it starts the flagged data tool with "-h" on a PC whose
// PCINFO row allows it, and opens the package's document.
TEST_F(Scenario, APrerequisiteInThePackageRunsFirstAndTheFlaggedDataToolLast) {
  OdbcEnvironment env;
  OdbcConnection admin(env);
  ConnectAsClinic(admin);
  ExecuteStatement(admin, "TRUNCATE TOOLLIST, PCINFO");
  ExecuteStatement(admin, "INSERT INTO PCINFO VALUES (" + QuotedLiteral(HostAddresses().at(0)) + ", 'PC1', 1)");
  const std::string program = ReadFileBytes(BuildFolder() + "data_tool.exe");
  auto control = [](const char* type, const char* name, const std::string& text) {
    TUpdateFileResource r{type, name, "", 0, 1, -1, "", "", 0};
    const std::string z = DeflateBest(text.data(), text.size());
    return NewResource{type, MakeResourceName(r), kPackageLanguage, 0, Bytes(z)};
  };
  const std::string tool = Pack("Tool01_6101.exe", {Module("VEROZ5521.exe", program, 15),
                                                    Module("Guide.exe", program, 12), control("PREVTOOL", "Prev.txt", "5521\r\n"),
                                                    control("UPDATECONFIG", "Config.txt", "AUTOEXECTETBL=1\r\n")});
  Script("267 0\n");
  const std::string started = "D:\\tools\\started.log", ended = "D:\\tools\\ended.log";
  // The document is the same program: an empty script of its own keeps it from marking itself run.
  MakeFolders("D:\\CVL2000\\Manual\\Update");
  WriteFileBytes("D:\\CVL2000\\Manual\\Update\\Guide.exe.script", "");
  ::SetEnvironmentVariableW(L"UPDATER_STARTED_LOG", Wide(started).c_str());
  ::SetEnvironmentVariableW(L"UPDATER_ENDED_LOG", Wide(ended).c_str());
  ::SetEnvironmentVariableW(L"UPDATER_DATATOOL_SCRIPT", L"mark");
  EXPECT_EQ(RunTool("\"" + tool + "\"").exitCode, 0u);
  ::SetEnvironmentVariableW(L"UPDATER_STARTED_LOG", nullptr);
  ::SetEnvironmentVariableW(L"UPDATER_ENDED_LOG", nullptr);
  ::SetEnvironmentVariableW(L"UPDATER_DATATOOL_SCRIPT", nullptr);
  // The data tool and the document are started last and not waited for: the table is read only once
  // all three programs have done all they do.
  for (int i = 0; i < 500 && Lines(ReadFileBytes(ended)).size() < 3; ++i) ::Sleep(40);
  ASSERT_EQ(Lines(ReadFileBytes(ended)).size(), 3u) << ReadFileBytes(ended);
  const std::string staged = "D:\\CVL2000\\Temp\\FX4\\New\\Tool01_6101\\VEROZ5521.exe";
  const std::vector<std::string> lines = Lines(ReadFileBytes(started));
  ASSERT_EQ(lines.size(), 3u) << ReadFileBytes(started);
  EXPECT_EQ(lines[0], staged + " \"0\" \"1\"");
  EXPECT_EQ(lines[1], "D:\\CVL2000\\Tool\\VEROZ5521.exe \"-h\"");
  EXPECT_NE(lines[2].find("D:\\CVL2000\\Manual\\Update\\Guide.exe"), std::string::npos) << lines[2];
  EXPECT_TRUE(LogHas("선수 툴 체크"));
  EXPECT_TRUE(LogHas("    선수 툴 실행완료 [" + staged + "]"));
  EXPECT_TRUE(LogHas("Finished 선수 툴 체크"));
  const auto rows = ExecuteStatement(admin, "SELECT TOOLNAME, EXECHK FROM TOOLLIST").Rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1].value_or(""), "Y");
  ExecuteStatement(admin, "TRUNCATE TOOLLIST, PCINFO");
}

// A close step that fails (EXECCHECK holding text, so the data tool's permission cannot be read)
// is recorded and the close goes on: the caller is started again, the report step runs, and the
// log ends as after any run, not in an error that meets the window procedure's system frames.
TEST_F(Scenario, AFailedCloseStepStillStartsTheCallerAndReports) {
  OdbcEnvironment env;
  OdbcConnection admin(env);
  ConnectAsClinic(admin);
  ExecuteStatement(admin, "INSERT INTO PCINFO VALUES (" + QuotedLiteral(HostAddresses().at(0)) + ", 'PC1', 'yes')");
  TUpdateFileResource cfg{"UPDATECONFIG", "Config.txt", "", 0, 1, -1, "", "", 1};
  const std::string tool = Pack("Tool01_6201.exe", {Module("VEROZ5530.exe", "data tool", 15),
                                                    {"UPDATECONFIG", MakeResourceName(cfg), kPackageLanguage, 0, Bytes("AUTOEXECTETBL=1\r\n")}});
  Script("260 0 " + tool + "\n267 0\n");
  const ChildResult result = RunTool("\"" + tool + "\" Caller.exe");
  ExecuteStatement(admin, "TRUNCATE PCINFO");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(ReadFileBytes("D:\\CVL2000\\Tool\\VEROZ5530.exe"), "data tool");
  EXPECT_TRUE(LogHas("    EndOfRunDataTool [에러발생("));
  EXPECT_TRUE(LogHas("    → CvlUpdaterErrLog [EndOfRunDataTool [에러발생("));
  EXPECT_EQ(CallerLine(), "D:\\CVL2000\\Exe\\Caller.exe");
}
