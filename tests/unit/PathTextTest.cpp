#include <gtest/gtest.h>

#include "core/PathText.h"

using namespace updater;

TEST(TrailingBackslash, RemovesBlanksOnlyWhenAsked) {
  EXPECT_EQ(WithTrailingBackslash("C:\\Program Files\\X"), "C:\\ProgramFiles\\X\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\Program Files\\X", false), "C:\\Program Files\\X\\");
  EXPECT_EQ(WithTrailingBackslash("D:\\CVL2000\\"), "D:\\CVL2000\\");
  EXPECT_EQ(WithTrailingBackslash(""), "");
  EXPECT_EQ(WithTrailingBackslash("   "), "");  // nothing left once the blanks go
  EXPECT_EQ(WithoutTrailingBackslash("D:\\CVL2000\\Exe\\"), "D:\\CVL2000\\Exe");
  EXPECT_EQ(WithoutTrailingBackslash("D:\\CVL2000\\Exe"), "D:\\CVL2000\\Exe");
}

TEST(PathParts, SplitsAndBaseName) {
  FolderAndName fn;
  ASSERT_TRUE(SplitAtLastBackslash("D:\\CVL2000\\Exe\\Main.dll", fn));
  EXPECT_EQ(fn.folder, "D:\\CVL2000\\Exe\\");
  EXPECT_EQ(fn.name, "Main.dll");
  EXPECT_FALSE(SplitAtLastBackslash("Main.dll", fn));

  StemAndExtension se;
  ASSERT_TRUE(SplitAtLastDot("Report.App.exe", se));
  EXPECT_EQ(se.stem, "Report.App");
  EXPECT_EQ(se.extension, "exe");
  EXPECT_FALSE(SplitAtLastDot("README", se));

  EXPECT_EQ(BaseName("C:\\x.y\\Report.App.exe"), "Report");
  EXPECT_EQ(BaseName("Tool01_5521.exe"), "Tool01_5521");
  EXPECT_EQ(BaseName("D:\\CVL2000\\noext"), "noext");
}

TEST(Numbers, DigitsPaddingAndGrouping) {
  EXPECT_EQ(DigitsAndDotsOnly("v6.0.2.80 beta"), "6.0.2.80");
  EXPECT_EQ(DigitsOnly("6.0.2.80"), "60280");
  EXPECT_EQ(ZeroPadded(7, 3), "007");
  EXPECT_EQ(ZeroPadded(-5, 3), "-05");  // the sign counts toward the width
  EXPECT_EQ(ZeroPadded(12345, 3), "12345");

  const NumberFormat comma{",", "."};
  EXPECT_EQ(GroupedInteger(0, comma), "0");
  EXPECT_EQ(GroupedInteger(999, comma), "999");
  EXPECT_EQ(GroupedInteger(1000, comma), "1,000");
  EXPECT_EQ(GroupedInteger(-1234567, comma), "-1,234,567");
  EXPECT_EQ(GroupedInteger(INT64_MIN, comma), "-9,223,372,036,854,775,808");
  EXPECT_EQ(GroupedInteger(1234, NumberFormat{".", ","}), "1.234");
  EXPECT_EQ(GroupedDecimal("1234.567", 2, comma), "1,234.57");
  EXPECT_EQ(GroupedDecimal("x", 2, comma), "0.00");
}

TEST(IsNumeric, NeedsADigitAndNoLetter) {
  EXPECT_TRUE(IsNumeric("5521"));
  EXPECT_TRUE(IsNumeric("-1,234.5"));  // other characters are ignored
  EXPECT_FALSE(IsNumeric("55A1"));
  EXPECT_FALSE(IsNumeric(""));
  EXPECT_FALSE(IsNumeric("--"));
  EXPECT_FALSE(IsNumeric("12가"));
}

// A path with a blank would run another program with the rest as its argument.
TEST(CommandPath, QuotedOnlyWhenItHoldsABlank) {
  const std::pair<const char*, const char*> rows[] = {
      {"D:\\CVL2000\\Exe\\Setup.exe", "D:\\CVL2000\\Exe\\Setup.exe"},
      {"D:\\CVL2000\\Exe\\Cvl Setup.exe", "\"D:\\CVL2000\\Exe\\Cvl Setup.exe\""},
      {"D:\\CVL2000\\Tool\\VEROZ1 -1.exe", "\"D:\\CVL2000\\Tool\\VEROZ1 -1.exe\""},
      {"C:\\Program Files\\A\\a.exe", "\"C:\\Program Files\\A\\a.exe\""},
      {"\"C:\\Program Files\\A\\a.exe\"", "\"C:\\Program Files\\A\\a.exe\""},
      {"Caller.exe", "Caller.exe"},
      {"", ""},
  };
  for (const auto& [path, command] : rows) EXPECT_EQ(CommandPath(path), command) << path;
}

TEST(IsDottedQuad, FourNumbersUpTo255AndNothingElse) {
  for (const char* good : {"10.0.0.9", "203.0.113.7", "0.0.0.0", "255.255.255.255"}) EXPECT_TRUE(IsDottedQuad(good)) << good;
  for (const char* bad : {"", "1.2.4.4180", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", ".1.2.3", "1.2.3.", "1.2.3.4 ", "1234"})
    EXPECT_FALSE(IsDottedQuad(bad)) << bad;
}

TEST(LineBreaks, OnlyPairsAreReplaced) {
  EXPECT_EQ(LineBreaksToBlank("a\r\nb\r\n"), "a b ");
  EXPECT_EQ(LineBreaksTo("a\nb\rc\r\nd", "|"), "a\nb\rc|d");
}

TEST(CutToBytes, NeverSplitsADoubleByteCharacter) {
  // "A" then two CP949 characters (B0 A1, B0 A2): 5 bytes.
  const std::string text = "A\xB0\xA1\xB0\xA2";
  EXPECT_EQ(CutToBytes(text, 5), text);
  EXPECT_EQ(CutToBytes(text, 9), text);
  EXPECT_EQ(CutToBytes(text, 3), "A\xB0\xA1");
  EXPECT_EQ(CutToBytes(text, 2), "A");  // byte 2 is a lead byte: n-1
  EXPECT_EQ(CutToBytes(text, 4), "A\xB0\xA1");
  EXPECT_EQ(CutToBytes(text, 0), "");
  // A trail byte in the lead range must not be taken for a lead byte.
  const std::string trailLooksLead = "\x81\x81" "A";
  EXPECT_EQ(CutToBytes(trailLooksLead, 2), "\x81\x81");
  EXPECT_EQ(CutToBytes(trailLooksLead, 1), "");
}

TEST(SplitList, QuotesBlanksAndEmptyPieces) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitList("a, b,,  c", ","), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitList("\"x,y\",z", ","), (V{"\"x,y\"", "z"}));
  EXPECT_EQ(SplitList("'x, y' ,z", ","), (V{"'x, y' ", "z"}));
  EXPECT_EQ(SplitList("", ","), V{});
  EXPECT_EQ(SplitList(",,,", ","), V{});
  EXPECT_EQ(SplitList("D:\\a\\T1.exe,D:\\a\\T2.exe", ","), (V{"D:\\a\\T1.exe", "D:\\a\\T2.exe"}));
  EXPECT_EQ(SplitList("\"unterminated,x", ","), V{"\"unterminated,x"});
}

TEST(SplitList, KeepingEmptyFieldsAsThePackageNamesNeed) {
  using V = std::vector<std::string>;
  const std::string sep(1, '\b');
  EXPECT_EQ(SplitListKeepEmpty("Prev.txt\b\b0\b1\b-1\b\b0\b", sep), (V{"Prev.txt", "", "0", "1", "-1", "", "0"}));
  EXPECT_EQ(SplitListKeepEmpty("a\b", sep), V{"a"});  // the final separator gives no entry
  EXPECT_EQ(SplitListKeepEmpty("\ba", sep), (V{"", "a"}));
  EXPECT_EQ(SplitListKeepEmpty("a\b\b", sep), (V{"a", ""}));
  EXPECT_EQ(SplitListKeepEmpty("  Viewer.exe\b 1.0\b", sep), (V{"Viewer.exe", "1.0"}));
  EXPECT_EQ(SplitListKeepEmpty("\"a\bb\"\bc\b", sep), (V{"\"a\bb\"", "c"}));
  EXPECT_EQ(SplitListKeepEmpty("", sep), V{});
}

TEST(CaseInsensitive, AsciiOnlyFolding) {
  EXPECT_TRUE(EqualsIgnoreCase("CvlUpdater.EXE", "cvlupdater.exe"));
  EXPECT_TRUE(StartsWithIgnoreCase("TOOL08_5521.exe", "tool08_"));
  EXPECT_FALSE(StartsWithIgnoreCase("tool0", "tool08_"));
  EXPECT_TRUE(ContainsIgnoreCase("App.EXE.config", ".exe"));
  EXPECT_EQ(Trim("  \t x y \r\n"), "x y");
}

// Message formats are filled in one pass: a value that holds a placeholder stays as it is.
TEST(FillFormat, PlaceholdersInOrderOrByNumberInOnePass) {
  struct Row {
    const char* format;
    std::vector<std::string> values;
    const char* filled;
  };
  const Row rows[] = {
      {"실행모듈(%s)을 찾을 수 없습니다.", {"CVLSConst.dll"}, "실행모듈(CVLSConst.dll)을 찾을 수 없습니다."},
      {"선수 툴(%s) 실행 중 오류\r\n(%s)", {"VEROZ5521.exe", "강제종료"}, "선수 툴(VEROZ5521.exe) 실행 중 오류\r\n(강제종료)"},
      {" - 실행모듈: %1\r\n - 호출모듈: %2", {"D:\\a%2b.exe", "C:\\x.exe"}, " - 실행모듈: D:\\a%2b.exe\r\n - 호출모듈: C:\\x.exe"},
      {"%2 before %1", {"one", "two"}, "two before one"},
      {"%s and %s", {"only"}, "only and %s"},
      {"100% sure %", {"x"}, "100% sure %"},
      {"%s", {"%s"}, "%s"},
  };
  for (const Row& row : rows) EXPECT_EQ(FillFormat(row.format, row.values), row.filled) << row.format;
}
