#include <gtest/gtest.h>

#include "package/PackageFormat.h"

using namespace updater;

namespace {
std::vector<std::string> Fields(const std::string& barred) {
  std::string name = barred;
  for (char& c : name)
    if (c == '|') c = '\b';
  return SplitResourceName(name);
}
}  // namespace

TEST(ResourceName, TheExamplesOfThePackageFormat) {
  TUpdateFileResource r = ParseResourceName("MODULE", Fields("Sample.exe|6.0.1.2|0|1|6|Exe|0|"));
  EXPECT_EQ(r.FileName, "Sample.exe");
  EXPECT_EQ(r.Version, "6.0.1.2");
  EXPECT_EQ(r.BaseKind, 1);
  EXPECT_EQ(r.SubFolderIndex, 6);
  EXPECT_EQ(r.FolderText, "Exe");
  EXPECT_EQ(r.RequiredFolder, "");

  const auto prev = Fields("Prev.txt||0|1|-1||0|");
  ASSERT_EQ(prev.size(), 7u);  // empty fields count
  r = ParseResourceName("PREVTOOL", prev);
  EXPECT_EQ(r.SubFolderIndex, -1);
  EXPECT_EQ(r.Version, "");

  r = ParseResourceName("MODULE", Fields("Agent.exe|2.0.0.1|9|1|5|Etc|0|Agent|"));
  EXPECT_EQ(r.CopyType, 9);
  EXPECT_EQ(r.RequiredFolder, "Agent");

  EXPECT_EQ(Fields("Short|1|2|3|4|5|").size(), 6u);  // not part of the package
}

TEST(ResourceName, NumericFields) {
  // An 8-bit field keeps the low 8 bits.
  EXPECT_EQ(ParseResourceName("MODULE", Fields("a|v|257|1|0||-1|")).CopyType, 1);
  EXPECT_EQ(ParseResourceName("MODULE", Fields("a|v|257|1|0||-1|")).StoredPlain, 0xFF);
  EXPECT_THROW(ParseResourceName("MODULE", Fields("a|v|x|1|0||0|")), std::invalid_argument);
  EXPECT_THROW(ParseResourceName("MODULE", Fields("a|v|0|1|||0|")), std::invalid_argument);
  EXPECT_THROW(ParseResourceName("MODULE", Fields("a|v|0|1|99999999999||0|")), std::invalid_argument);
  EXPECT_THROW(ParseResourceName("MODULE", Fields("a|v|0x1|1|0||0|")), std::invalid_argument);
}

TEST(ResourceName, RoundTripThroughTheBuilder) {
  TUpdateFileResource r{"MODULE", "업데이트.dll", "6.0.2.80", 9, 1, 24, "Etc\\신이미지", "Agent", 0};
  const TUpdateFileResource back = ParseResourceName("MODULE", SplitResourceName(MakeResourceName(r)));
  EXPECT_EQ(back.FileName, r.FileName);
  EXPECT_EQ(back.FolderText, r.FolderText);
  EXPECT_EQ(back.RequiredFolder, "Agent");
  EXPECT_EQ(back.SubFolderIndex, 24);
  r.RequiredFolder.clear();
  EXPECT_EQ(SplitResourceName(MakeResourceName(r)).size(), 7u);
}

TEST(NameClasses, OrderOfTheSubstringTests) {
  EXPECT_EQ(ClassifyPackageName("Tool.exe.config"), NameClass::None);
  EXPECT_EQ(ClassifyPackageName("Help.pdf"), NameClass::None);
  EXPECT_EQ(ClassifyPackageName("Guide.MHT"), NameClass::None);
  EXPECT_EQ(ClassifyPackageName("Lib.exe.dll"), NameClass::Dll);
  EXPECT_EQ(ClassifyPackageName("App.EXE"), NameClass::Exe);
  EXPECT_EQ(ClassifyPackageName("data.bin"), NameClass::None);
  EXPECT_EQ(ClassifyStagedFileName("Grid.ocx"), NameClass::None);
  EXPECT_EQ(ClassifyPackageName("Grid.ocx"), NameClass::None);

  EXPECT_TRUE(IsDataToolName("VEROZ5521.exe"));
  EXPECT_TRUE(IsDataToolName("veroz5521.EXE"));
  EXPECT_FALSE(IsDataToolName("VEROZ552.exe"));
  EXPECT_FALSE(IsDataToolName("VEROZ55A1.exe"));
  EXPECT_FALSE(IsDataToolName("XVEROZ5521.exe"));
  EXPECT_TRUE(IsDocumentIndex(12));
  EXPECT_TRUE(IsDocumentIndex(23));
  EXPECT_FALSE(IsDocumentIndex(0));
}

TEST(DamagedEntries, FileNamesThatCannotBeWrittenAsTheyStand) {
  struct Row { const char* name; const char* damage; };
  const Row rows[] = {
      {"a.dll", nullptr}, {"..a.dll", nullptr}, {"업데이트.exe", nullptr}, {"a b.txt", nullptr}, {"CONSOLE.dll", nullptr},
      {"COM0.dll", nullptr}, {"nul2.txt", nullptr},
      {"", "unsafe file name"}, {".", "unsafe file name"}, {"..", "unsafe file name"}, {"..\\x.dll", "unsafe file name"},
      {"a/b.dll", "unsafe file name"}, {"C:x.dll", "unsafe file name"}, {"sub\\a.dll", "unsafe file name"},
      {"a?.dll", "unsafe file name"}, {"a*.dll", "unsafe file name"}, {"a|b", "unsafe file name"}, {"a\tb", "unsafe file name"},
      {"a.dll.", "ending in a dot or a blank"}, {"a.dll ", "ending in a dot or a blank"}, {"a...", "ending in a dot or a blank"},
      {"NUL", "device name"}, {"nul.txt", "device name"}, {"Con.dll", "device name"}, {"COM1.exe", "device name"},
      {"lpt9", "device name"}, {"AUX.log", "device name"}, {"PRN", "device name"},
  };
  for (const Row& row : rows) {
    const std::optional<std::string> damage = FileNameDamage(row.name);
    if (!row.damage) EXPECT_EQ(damage, std::nullopt) << row.name;
    else EXPECT_NE(damage.value_or("").find(row.damage), std::string::npos) << row.name << ": " << damage.value_or("none");
  }
}

TEST(DamagedEntries, ItemFoldersThatLeaveTheClientFolders) {
  struct Row { int baseKind, index; const char* folder; bool damaged; };
  const Row rows[] = {
      // Base kind 1: an index inside the table; index 0 gives a folder relative to the install root.
      {1, 6, "", false}, {1, 0, "Extra\\Viewer", false}, {1, 0, "", false}, {1, 37, "", false}, {1, 6, "..\\..\\x", false},
      {1, 38, "", true}, {1, -1, "", true}, {1, 1000, "Exe", true},
      {1, 0, "..\\..\\..\\evil", true}, {1, 0, "Exe\\..\\..\\evil", true}, {1, 0, "Exe\\..", true}, {1, 0, ". .\\evil", true},
      {1, 0, "Exe/../../evil", true}, {1, 0, "C:\\evil", true}, {1, 0, "C:evil", true}, {1, 0, "\\evil", true},
      {1, 0, "\\\\server\\share", true}, {1, 0, "a:b", true},
      // A segment the file system would not keep as written: only dots, or ending in one.
      {1, 0, "a\\...\\x", true}, {1, 0, "a\\.\\x", true}, {1, 0, "Extra.\\x", true}, {1, 0, "a\\b. ", true}, {1, 0, "v1.2\\x", false},
      {0, 0, "C:\\a\\...\\x", true}, {0, 0, "C:\\a.", true},
      // Base kind 0: an absolute folder, drive and backslash or UNC.
      {0, 0, "C:\\Program Files\\X", false}, {0, -1, "d:/tools", false}, {0, 0, "\\\\server\\share\\x", false},
      {0, 0, "", true}, {0, 0, "..\\..\\evil", true}, {0, 0, "evil", true}, {0, 0, "C:evil", true}, {0, 0, "\\evil", true},
      {0, 0, "C:\\CVL2000\\..\\evil", true}, {0, 0, "\\\\?\\C:\\x", true}, {0, 0, "C:\\a:b", true},
      // Other base kinds take no folder from the package.
      {2, -5, "..\\..", false}, {7, 99, "C:evil", false},
  };
  for (const Row& row : rows) {
    TUpdateFileResource r;
    r.FileName = "a.dll";
    r.BaseKind = static_cast<uint8_t>(row.baseKind);
    r.SubFolderIndex = row.index;
    r.FolderText = row.folder;
    EXPECT_EQ(PlaceDamage(r).has_value(), row.damaged) << row.baseKind << "/" << row.index << "/" << row.folder;
  }
}

// Fields outside the defined values are no damage to the program (it deploys them as a plain copy
// to Exe and says so), but toolpack refuses them.
TEST(DamagedEntries, CopyTypesAndBaseKindsOutsideTheDefinedOnes) {
  for (int copyType = 0; copyType <= 255; ++copyType)
    for (int baseKind : {0, 1, 2, 255}) {
      TUpdateFileResource r;
      r.CopyType = static_cast<uint8_t>(copyType);
      r.BaseKind = static_cast<uint8_t>(baseKind);
      EXPECT_EQ(UnknownFieldDamage(r).has_value(), copyType > 10 || baseKind > 1) << copyType << "/" << baseKind;
    }
}

// The copy types row by row: the name the log shows and what follows the deployment.
TEST(CopyTypes, TheElevenTypesByNameAndAction) {
  using K = AfterDeploy::Kind;
  using C = AfterDeploy::Condition;
  struct Row {
    const char* name;
    K kind;
    const char* command;  // for D:\A\Setup.exe
    C condition;
  };
  const Row rows[] = {
      {"복사", K::None, "", C::Always},
      {"복사&바로실행", K::Open, "", C::Always},
      {"복사&시작등록(RunOnce)", K::RunOnce, "D:\\A\\Setup.exe", C::Always},
      {"복사&설치시작등록(InstallRunOnce,Silent)", K::RunOnce, "D:\\A\\Setup.exe /verysilent", C::Always},
      {"복사&바로실행(Silent)", K::Open, "/verysilent /norestart", C::Always},
      {"폴더존재시복사", K::None, "", C::Always},
      {"폴더존재시복사&바로실행(Silent)", K::Open, "/verysilent /norestart", C::Always},
      {"복사(강제덮어쓰기,파일버전무시)", K::None, "", C::Always},
      {"복사(해당경로파일존재시)", K::None, "", C::Always},
      {"복사&특정폴더존재시바로실행(Silent)", K::Open, "/verysilent /norestart", C::RequiredFolder},
      {"복사&(PostgreSQLDB만)바로실행", K::Open, "/verysilent /norestart", C::PostgreSql},
  };
  for (uint8_t type = 0; type < std::size(rows); ++type) {
    SCOPED_TRACE(int(type));
    EXPECT_EQ(CopyTypeName(type), rows[type].name);
    const AfterDeploy a = AfterDeployOf(type, "D:\\A\\Setup.exe");
    EXPECT_EQ(a.kind, rows[type].kind);
    EXPECT_EQ(a.command, rows[type].command);
    EXPECT_EQ(a.condition, rows[type].condition);
  }
  EXPECT_EQ(CopyTypeName(11), "");
  EXPECT_EQ(AfterDeployOf(11, "D:\\A\\Setup.exe").kind, K::None);
  EXPECT_EQ(AfterDeployOf(3, "D:\\A\\setup.msi").command, "D:\\A\\setup.msi /qn");
  // A blank in the path: quoted, or Windows would run another program at the next start.
  EXPECT_EQ(AfterDeployOf(2, "D:\\A\\Cvl Setup.exe").command, "\"D:\\A\\Cvl Setup.exe\"");
  EXPECT_EQ(AfterDeployOf(3, "D:\\A\\Cvl Setup.exe").command, "\"D:\\A\\Cvl Setup.exe\" /verysilent");
}

TEST(Options, UpdateConfigKeysCountOnlyWhenExactlyOne) {
  UpdateOptions o = ParseUpdateConfig("HIDDEN=1\r\nnotexecmanual=1\r\nAUTOEXECTETBL=1\r\n");
  EXPECT_TRUE(o.Hidden);
  EXPECT_TRUE(o.NotExecManual);
  EXPECT_TRUE(o.AutoExecTetbl);
  o = ParseUpdateConfig("HIDDEN=true\nNOTEXECMANUAL= 1\nAUTOEXECTETBL=0");
  EXPECT_FALSE(o.Hidden);
  EXPECT_FALSE(o.NotExecManual);
  EXPECT_FALSE(o.AutoExecTetbl);
  o = ParseUpdateConfig("HIDDEN=0\nHIDDEN=1");  // the first line of a name decides
  EXPECT_FALSE(o.Hidden);
  EXPECT_FALSE(ParseUpdateConfig("").Hidden);
}

TEST(Options, PrevToolFirstLine) {
  EXPECT_EQ(PrevToolNumber("5521\r\n"), "5521");
  EXPECT_EQ(PrevToolNumber("5521\r\nignored"), "5521");
  EXPECT_EQ(PrevToolNumber("55A1\r\n"), std::nullopt);
  // Digits only: it becomes part of a program name the tool starts.
  for (const char* unsafe : {"55 21", " 5521", "5521\"", "55&1", "55\\1", "-5521", "5,521"})
    EXPECT_EQ(PrevToolNumber(std::string(unsafe) + "\r\n"), std::nullopt) << unsafe;
  EXPECT_EQ(PrevToolNumber("\r\n5521"), std::nullopt);
  EXPECT_THROW(PrevToolNumber(""), std::runtime_error);  // no line at all
}
