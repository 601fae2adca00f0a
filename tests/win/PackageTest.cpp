#include <gtest/gtest.h>

#include "core/ClientFolders.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "env/ServiceCalls.h"
#include "Harness.h"
#include "package/Inflate.h"
#include "db/Database.h"
#include "deploy/PackageSteps.h"
#include "PEWriter.h"
#include "Toolpack.h"
#include "package/pe/ByteSource.h"
#include "package/pe/PEFile.h"
#include "deploy/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

NewResource Module(const std::string& fileName, const std::string& content, int index = 6, bool plain = false,
                   const std::string& type = "MODULE") {
  TUpdateFileResource f{type, fileName, "1.0.0.0", 0, 1, index, "", "", static_cast<uint8_t>(plain ? 1 : 0)};
  const std::string payload = plain ? content : DeflateBest(content.data(), content.size());
  return {type, MakeResourceName(f), 1042, 0, Bytes(payload)};
}

NewResource Control(const std::string& type, const std::string& text) {
  TUpdateFileResource f{type, type == "PREVTOOL" ? "Prev.txt" : "Config.txt", "", 0, 1, -1, "", "", 0};
  const std::string z = DeflateBest(text.data(), text.size());
  return {type, MakeResourceName(f), 1042, 0, Bytes(z)};
}

// Writes an update tool made from image with the given package.
std::string Pack(const std::string& image, const std::string& out, const std::vector<NewResource>& package) {
  const std::vector<unsigned char> tool = WriteResources(Bytes(ReadFileBytes(image)), package);
  WriteFileBytes(out, std::string(tool.begin(), tool.end()));
  return out;
}

bool LogHas(std::string_view part) {
  for (const std::string& line : TheRunLog().Lines())
    if (line.find(part) != std::string::npos) return true;
  return false;
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
    MakeFolders("D:\\pack");
  }
  void TearDown() override { RemoveTree("D:\\pack"); }
  const std::string image = BuildFolder() + "ver_none.dll";
  // The pre-scan of one tool merged into the run, as the run does it.
  void Scan(const std::string& tool, bool first) { MergeToolOptions(run, tool, ScanToolOptions(tool, TempFolder(), false, clock), first); }
  CleanInstallRoots clean;
  FakeClock clock;
  RunState run;
};

}  // namespace

TEST_F(Package, AToolExtractsItsOwnPackageWhileRunning) {
  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string tool = Pack(BuildFolder() + "package_probe.exe", "D:\\pack\\Tool01_0001.exe",
                                {Module("Main.dll", "main dll"), Module("업데이트.txt", "한글 파일"), Module("big.bin", big),
                                 Module("Guide.mht", "doc", 12, true), Control("UPDATECONFIG", "HIDDEN=1\r\n")});
  const ChildResult r = RunProgram("\"" + tool + "\"");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  const std::string staging = "D:\\CVL2000\\Temp\\FX4\\New\\Tool01_0001\\";
  EXPECT_EQ(ReadFileBytes(staging + "Main.dll"), "main dll");
  EXPECT_EQ(ReadFileBytes(staging + "업데이트.txt"), "한글 파일");
  EXPECT_EQ(ReadFileBytes(staging + "big.bin"), big);
  EXPECT_EQ(ReadFileBytes(staging + "Guide.mht"), "doc");
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Temp\\Config.txt"));  // the control file is gone again
  EXPECT_FALSE(FileExists(staging + "Config.txt"));           // control resources are not extracted
}

TEST_F(Package, ThePackedToolKeepsItsVersionInformation) {
  const std::string tool = Pack(BuildFolder() + "UpdateTool.exe", "D:\\pack\\Tool01_0002.exe", {Module("a.dll", "a")});
  EXPECT_EQ(VersionText(tool), "1.0.0.1");
  EXPECT_EQ(VersionText(tool, 0), "Corvel update tool");
}

TEST_F(Package, OptionsMergeAcrossTools) {
  const std::string first = Pack(image, "D:\\pack\\Tool01_1.exe", {Control("UPDATECONFIG", "HIDDEN=1\r\nNOTEXECMANUAL=1\r\n")});
  const std::string second = Pack(image, "D:\\pack\\Tool01_2.exe", {Module("b.dll", "b")});
  Scan(first, true);
  EXPECT_TRUE(run.HiddenRun);
  EXPECT_FALSE(run.OpenDocuments);
  Scan(second, false);
  EXPECT_FALSE(run.HiddenRun);     // hidden only when every tool says so
  EXPECT_TRUE(run.OpenDocuments);  // documents open when any tool allows it
  EXPECT_TRUE(LogHas("    실행옵션 → [HIDDEN=1, 숨김모드로 자동실행]"));
  EXPECT_TRUE(LogHas("    실행옵션 → [NOTEXECMANUAL=1, 매뉴얼파일(*.mht) 자동실행 안함]"));
  EXPECT_TRUE(LogHas("    실행옵션 리소스파일 삭제 [" + TempFolder() + "Config.txt]"));
}

TEST_F(Package, PreScanFillsTheRunWideLists) {
  const std::string tool = Pack(image, "D:\\pack\\Tool01_3.exe",
                                {Module("App.EXE", "x"), Module("Lib.exe.dll", "x"), Module("App.exe.config", "x"),
                                 Module("VEROZ5521.exe", "x"), Module("Guide.mht", "x", 12), Module("Help.pdf", "x", 23),
                                 Module("Lower.dll", "x", 6, false, "module"), Control("UPDATECONFIG", "AUTOEXECTETBL=1\r\n")});
  Scan(tool, true);
  EXPECT_EQ(run.PackageExeList.Items(), (std::vector<std::string>{"app.exe", "veroz5521.exe"}));
  EXPECT_EQ(run.PackageDllList.Items(), (std::vector<std::string>{"lib.exe.dll", "lower.dll"}));  // "module" counts here
  EXPECT_EQ(run.DataToolList.Items(), std::vector<std::string>{"VEROZ5521.exe"});
  EXPECT_EQ(run.DataToolAutoRunList.Items(), std::vector<std::string>{"1"});
  ASSERT_EQ(run.OpenFileList.Size(), 1u);  // the last document in directory order
  EXPECT_EQ(run.OpenFileList[0], "Help.pdf");
  EXPECT_TRUE(LogHas("    실행옵션 → [AUTOEXECTETBL=1, 숨김모드로 자료정리 툴(VEROZ5521.exe) 자동실행]"));

  // ... but a lower-case "module" is never extracted.
  std::vector<TUpdateFileResource> records;
  std::string current;
  ExtractPackage(tool, CreateStagingFolder(tool), run.PrevToolList, records, current);
  EXPECT_EQ(records.size(), 6u);
  EXPECT_FALSE(FileExists(CreateStagingFolder(tool) + "Lower.dll"));
}

TEST_F(Package, AutoRunWithoutDataToolShowsEmptyParentheses) {
  const std::string tool = Pack(image, "D:\\pack\\Tool01_4.exe", {Control("UPDATECONFIG", "AUTOEXECTETBL=1\r\n")});
  Scan(tool, true);
  EXPECT_TRUE(LogHas("    실행옵션 → [AUTOEXECTETBL=1, 숨김모드로 자료정리 툴() 자동실행]"));
  EXPECT_TRUE(run.DataToolList.Empty());
}

TEST_F(Package, PrerequisiteToolsAreRecorded) {
  const std::string bad = Pack(image, "D:\\pack\\Tool01_5.exe", {Control("PREVTOOL", "55A1\r\n")});
  Scan(bad, true);
  EXPECT_TRUE(run.PrevToolList.Empty());
  EXPECT_TRUE(run.PrevToolOwnerList.Empty());
  EXPECT_FALSE(FileExists(TempFolder() + "Prev.txt"));

  const std::string good = Pack(image, "D:\\pack\\Tool01_6.exe", {Control("PREVTOOL", "5521\r\n"), Module("VEROZ5521.exe", "tool")});
  Scan(good, true);
  EXPECT_EQ(run.PrevToolOwnerList.Items(), std::vector<std::string>{good});
  EXPECT_EQ(run.PrevToolList.Items(), std::vector<std::string>{"VEROZ5521.exe"});
  wchar_t value[64];
  ::GetPrivateProfileStringW(L"PREVTOOL", L"Tool01_6.exe", L"", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value), "VEROZ5521.exe");

  // Extraction points the prerequisite at its staged copy.
  std::vector<TUpdateFileResource> records;
  std::string current;
  const std::string staging = CreateStagingFolder(good);
  ExtractPackage(good, staging, run.PrevToolList, records, current);
  EXPECT_EQ(run.PrevToolList[0], staging + "VEROZ5521.exe");

  // A PREVTOOL text with no line at all ends the pre-scan, and its file is still removed.
  const std::string empty = Pack(image, "D:\\pack\\Tool01_7.exe", {Control("PREVTOOL", "")});
  EXPECT_THROW(ScanToolOptions(empty, TempFolder(), false, clock), std::exception);
  EXPECT_FALSE(FileExists(TempFolder() + "Prev.txt"));
}

TEST_F(Package, DamagedPackagesWriteNothingOutsideOrHalfWay) {
  std::vector<TUpdateFileResource> records;
  std::string current;
  const std::string escape = Pack(image, "D:\\pack\\Tool01_8.exe", {Module("..\\..\\escaped.dll", "evil")});
  const std::string staging = CreateStagingFolder(escape);
  EXPECT_THROW(ExtractPackage(escape, staging, run.PrevToolList, records, current), std::runtime_error);
  EXPECT_EQ(current, "..\\..\\escaped.dll_LoadFromStream");  // the load error line names it
  EXPECT_FALSE(FileExists("D:\\CVL2000\\Temp\\FX4\\escaped.dll"));
  EXPECT_TRUE(records.empty());

  for (const char* name : {"C:evil.dll", "..", "sub/evil.dll"}) {
    const std::string tool = Pack(image, "D:\\pack\\Tool01_9.exe", {Module(name, "evil")});
    EXPECT_THROW(ExtractPackage(tool, CreateStagingFolder(tool), run.PrevToolList, records, current), std::runtime_error) << name;
  }

  NewResource broken = Module("Broken.dll", std::string(100000, 'x'));
  broken.data.resize(broken.data.size() / 2);  // a damaged zlib stream
  const std::string tool = Pack(image, "D:\\pack\\Tool01_10.exe", {broken});
  const std::string brokenStaging = CreateStagingFolder(tool);
  EXPECT_THROW(ExtractPackage(tool, brokenStaging, run.PrevToolList, records, current), InflateError);
  EXPECT_EQ(current, "Broken.dll_DecompressFiles");
  EXPECT_FALSE(FileExists(brokenStaging + "Broken.dll"));  // no half-written file
  WIN32_FIND_DATAW fd;
  EXPECT_FALSE(FindHandle(::FindFirstFileW(Wide(brokenStaging + "*.yte").c_str(), &fd)));
}

// Two files that Windows takes for one name would be staged over each other and the first record
// deployed with the second's content: the tool is refused, whatever case or script differs.
TEST_F(Package, TwoFilesOfOneNameToWindowsRefuseTheTool) {
  struct Row {
    const char* first;
    const char* second;
  };
  const Row rows[] = {{"Same.dll", "Same.dll"}, {"Same.dll", "SAME.DLL"}, {"\xC3\x84.txt", "\xC3\xA4.txt"}, {"\xD0\x96.txt", "\xD0\xB6.txt"}};
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.second);
    NewResource first = Module(row.first, "first");
    NewResource second = Module(row.second, "second", 34);  // other fields, so another resource name
    const std::string tool = Pack(image, "D:\\pack\\Tool01_1" + std::to_string(++n) + ".exe", {first, second});
    std::vector<TUpdateFileResource> records;
    std::string current;
    try {
      ExtractPackage(tool, CreateStagingFolder(tool), run.PrevToolList, records, current);
      ADD_FAILURE() << "extracted";
    } catch (const DamagedResource& e) {
      EXPECT_NE(std::string(e.what()).find("to Windows"), std::string::npos) << e.what();
    }
    EXPECT_EQ(records.size(), 1u);
  }
}

TEST(History, RunVersionComparesAsText) {
  CleanInstallRoots clean;
  MakeFolders("D:\\CVL2000");
  FakeClock clock;
  EXPECT_EQ(ReadRunVersion(false), "0.0.0.0");
  RecordHistory(false, "D:\\x\\Tool01_1.exe", "6.0.10.1", "Y", clock);
  EXPECT_EQ(ReadRunVersion(false), "6.0.10.1");
  RecordHistory(false, "D:\\x\\Tool01_2.exe", "6.0.2.80", "y", clock);
  EXPECT_EQ(ReadRunVersion(false), "6.0.10.1");  // only the flag "Y" as given advances it
  RecordHistory(false, "D:\\x\\Tool01_2.exe", "6.0.2.80", "Y", clock);
  EXPECT_EQ(ReadRunVersion(false), "6.0.2.80");  // "6.0.2.80" > "6.0.10.1" as text
  RecordHistory(false, "D:\\x\\Tool01_3.exe", "9.9.9.9", "N", clock);
  EXPECT_EQ(ReadRunVersion(false), "6.0.2.80");
  RecordHistory(false, "D:\\x\\Tool01_4.exe", "9.9.9.9", "maybe", clock);
  wchar_t value[64];
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool01_3.exe", L"", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value), "N,2025-07-24");
  ::GetPrivateProfileStringW(L"HISTORY", L"Tool01_4.exe", L"none", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value), "none");
  RecordHistory(true, "D:\\x\\Tool08_1.exe", "1.0.0.0", "Y", clock);
  EXPECT_EQ(ReadRunVersion(true), "1.0.0.0");
  EXPECT_TRUE(FileExists("D:\\CVL2000\\UpdaterChart.ini"));
}

TEST_F(Package, AddUpdaterLoadsAToolAndTheFinishStepRecordsIt) {
  const std::string tool =
      Pack(BuildFolder() + "ver_commas.dll", "D:\\pack\\Tool01_60280.exe", {Module("Main.dll", "main"), Module("Help.txt", "help")});
  ScriptedUi ui;
  FakeClock clock;
  Database db(ui, clock);
  TUpdater upd(ui, clock, run, db);
  ASSERT_TRUE(upd.AddUpdater(tool));
  EXPECT_EQ(upd.ToolVersion, "6.0.2.80");
  ASSERT_EQ(upd.UpdateList.size(), 2u);
  for (const TUpdateFile& f : upd.UpdateList) {
    ASSERT_GE(f.ResourceIndex, 0);
    EXPECT_EQ(upd.ResourceList[static_cast<size_t>(f.ResourceIndex)].FileName, f.FileName);
    EXPECT_EQ(f.DotlessVersion, "0000");
  }
  EXPECT_TRUE(LogHas("업데이트 파일목록 (2개 파일)"));
  EXPECT_TRUE(LogHas("    목록추가 [1. D:\\CVL2000\\Temp\\FX4\\New\\Tool01_60280\\"));

  // A file left in the staging folder by an earlier attempt has no record.
  WriteFileBytes("D:\\CVL2000\\Temp\\FX4\\New\\Tool01_60280\\Leftover.bin", "x");
  upd.UpdateList.clear();
  upd.BuildUpdateList("D:\\CVL2000\\Temp\\FX4\\New\\Tool01_60280\\");
  bool leftover = false;
  for (const TUpdateFile& f : upd.UpdateList)
    if (f.FileName == "Leftover.bin") leftover = f.ResourceIndex == -1;
  EXPECT_TRUE(leftover);

  upd.FinishTool(true, false, "UpdateStart");
  wchar_t value[64];
  ::GetPrivateProfileStringW(L"LATESTTOOL", L"RUNVER", L"", value, 64, L"D:\\CVL2000\\Updater.ini");
  EXPECT_EQ(Narrow(value), "6.0.2.80");
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Temp\\FX4\\New"));
  EXPECT_TRUE(LogHas("    Finished DeleteTempFiles(D:\\CVL2000\\Temp\\FX4\\New\\)"));
}

TEST_F(Package, ALoadErrorNamesTheStepAndTheFile) {
  const std::string tool = Pack(image, "D:\\pack\\Tool01_12.exe", {Module("..\\x.dll", "x")});
  ScriptedUi ui;
  FakeClock clock;
  Database db(ui, clock);
  TUpdater upd(ui, clock, run, db);
  EXPECT_FALSE(upd.AddUpdater(tool));
  bool found = false;
  for (const std::string& line : run.FailureList)
    found |= line.rfind("AddUpdater(에러발생,Err.Message:Damaged resource: unsafe file name", 0) == 0 &&
             line.find(",CurrentRunningTask:LoadFileFromResource(" + tool + ",..\\x.dll_LoadFromStream)") != std::string::npos;
  EXPECT_TRUE(found);
}

namespace {

// A tool with the digest list of every resource it holds, as toolpack build makes it.
std::vector<unsigned char> Sealed(const std::string& image, const std::vector<NewResource>& package) {
  return toolpack::WithDigestList(WriteResources(Bytes(ReadFileBytes(image)), package));
}

std::string DigestListOf(const std::vector<unsigned char>& tool) {
  TPEResourceModule m;
  m.LoadFromSource(std::make_unique<MemorySource>(tool.data(), tool.size()));
  const TResourceDetails* list = m.FindResourceDetails(std::string(kDigestType), std::string(kDigestName), kPackageLanguage);
  const std::vector<unsigned char> data = list->Data();
  return std::string(data.begin(), data.end());
}

}  // namespace

// The program's own digest check, row by row, without a whole run: each way a sealed tool can
// differ from its list fails the load's extraction (or its pre-scan) before anything is deployed.
TEST_F(Package, TheExtractionHoldsTheToolToItsDigestList) {
  const std::vector<NewResource> package = {Module("A.dll", "a content"), Module("B.txt", "b content", 6, true),
                                            Control("UPDATECONFIG", "HIDDEN=0\r\n")};
  const std::vector<unsigned char> sealed = Sealed(image, package);
  const std::string list = DigestListOf(sealed);
  auto withList = [&](std::string text) {
    return WriteResources(sealed, {{std::string(kDigestType), std::string(kDigestName), kPackageLanguage, 0, Bytes(text), {}}});
  };
  // The digest of A.dll's data with only its last hex digit changed.
  std::string lastDigit = list;
  const size_t a = lastDigit.find("MODULE  A.dll");
  const size_t digitAt = lastDigit.rfind('\n', a) == std::string::npos ? 63 : lastDigit.rfind('\n', a) + 64;
  lastDigit[digitAt] = lastDigit[digitAt] == '0' ? '1' : '0';
  struct Row {
    const char* what;
    std::vector<unsigned char> tool;
    const char* message;  // empty: staged whole
  };
  const std::vector<Row> rows = {
      {"as sealed", sealed, ""},
      {"a file's data replaced", WriteResources(sealed, {Module("A.dll", "other content")}),
       "Damaged resource: content differs from its SHA-256 digest \"A.dll\""},
      {"a digest differing in its last digit only", withList(lastDigit),
       "Damaged resource: content differs from its SHA-256 digest \"A.dll\""},
      {"a file added", WriteResources(sealed, {Module("C.dll", "c")}), "Damaged resource: not in the package's digest list \"C.dll\""},
      {"a listed file the package lacks", withList(list + std::string(64, 'e') + "  1042  MODULE  Gone.dll%08%080%081%086%08%080%08\n"),
       "Damaged resource: in the digest list but not in the package \"MODULE Gone.dll||0|1|6||0| (language 1042)\""},
      {"a run option changed", WriteResources(sealed, {Control("UPDATECONFIG", "HIDDEN=1\r\n")}),
       "Damaged resource: data differs from its SHA-256 digest \"Config.txt\""},
      {"an unreadable list", withList("not a digest\n"), "Damaged resource: unreadable digest line"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string tool = "D:\\pack\\Tool01_3" + std::to_string(++n) + ".exe";
    WriteFileBytes(tool, std::string(row.tool.begin(), row.tool.end()));
    std::vector<TUpdateFileResource> records;
    std::string current;
    std::string error;
    try {
      ScanToolOptions(tool, TempFolder(), false, clock);
      ExtractPackage(tool, CreateStagingFolder(tool), run.PrevToolList, records, current);
    } catch (const std::exception& e) {
      error = e.what();
    }
    EXPECT_EQ(error.substr(0, std::string(row.message).size()), row.message) << error;
    if (!*row.message) EXPECT_EQ(records.size(), 2u);
    EXPECT_FALSE(FileExists(StagingFolder(tool) + "C.dll"));
  }
}
