#include <gtest/gtest.h>

#include "core/LogMan.h"
#include "core/RunLog.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

class Logs : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(dir);
    MakeFolders(dir);
  }
  void TearDown() override {
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(dir);
  }
  const std::string dir = "D:\\logs";
  const std::string path = dir + "\\CvlUpdaterLogNew250724.log";
  FakeClock clock;
};

}  // namespace

TEST_F(Logs, TwoRunsOfADayShareOneCodePageFile) {
  {
    RunLog first(clock, path);
    first.Add(std::string(51, '='));
    first.Add("업데이트 툴 실행시작 [첫번째]");
    first.Add("");
  }
  const std::string afterFirst = ReadFileBytes(path);
  // Written in code page 949: two bytes per Hangul syllable, no UTF-8.
  EXPECT_NE(afterFirst.find("\xBE\xF7\xB5\xA5\xC0\xCC\xC6\xAE"), std::string::npos);  // 업데이트
  {
    clock.now.hour = 15;
    RunLog second(clock, path);
    second.Add(std::string(51, '='));
    second.Add("업데이트 툴 실행시작 [두번째]", true);
  }
  const std::vector<std::string> lines = Lines(ReadCp949File(path));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "2025-07-24, 14:05:09 " + std::string(51, '='));
  EXPECT_EQ(lines[1], "2025-07-24, 14:05:09 업데이트 툴 실행시작 [첫번째]");
  EXPECT_EQ(lines[2], "");  // an empty line has no time stamp
  EXPECT_EQ(lines[3], "2025-07-24, 15:05:09 " + std::string(51, '='));
  EXPECT_EQ(lines[4], "2025-07-24, 15:05:09 업데이트 툴 실행시작 [두번째]");
}

TEST_F(Logs, EarlierBytesAreKeptExactlyAndAMissingLineBreakIsAdded) {
  WriteFileBytes(path, "\xFF\xFE odd bytes");
  {
    RunLog log(clock, path);
    log.Add("next");
  }
  EXPECT_EQ(ReadFileBytes(path), "\xFF\xFE odd bytes\r\n2025-07-24, 14:05:09 next\r\n");
}

TEST_F(Logs, AFailedSaveKeepsTheLinesForTheNextOne) {
  RunLog log(clock, path);
  log.Add("first", true);
  {
    // Another program holds the file without sharing.
    UniqueHandle locker(::CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locker);
    log.Add("second", true);  // must not throw
    EXPECT_FALSE(log.Save());
  }
  EXPECT_EQ(Lines(ReadCp949File(path)).size(), 1u);
  log.Add("third", true);
  const std::vector<std::string> lines = Lines(ReadCp949File(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "2025-07-24, 14:05:09 second");
  WIN32_FIND_DATAW fd;
  EXPECT_FALSE(FindHandle(::FindFirstFileW(Wide(dir + "\\*.yte").c_str(), &fd)));
}

TEST_F(Logs, LogManAppendsPerLineAndFollowsTheDate) {
  TLogMan errors(clock, "QueryError", true, dir + "\\");
  EXPECT_EQ(errors.Name(), "QueryErrorErrLog");
  EXPECT_EQ(errors.FileName(), dir + "\\QueryErrorErrLog250724.log");
  EXPECT_FALSE(errors.FileExisted());
  errors.Write("", "연결 실패");
  errors.Write("Open", "timeout");
  EXPECT_TRUE(errors.FileExisted());

  RunLog run(clock, path);
  clock.now = LocalTime{2025, 7, 25, 0, 0, 1, 0};  // past midnight
  errors.Write("Exec", "");
  run.Add("after midnight", true);

  const std::vector<std::string> day1 = Lines(ReadCp949File(dir + "\\QueryErrorErrLog250724.log"));
  ASSERT_EQ(day1.size(), 2u);
  EXPECT_EQ(day1[0], "14:05:09 : 연결 실패");
  EXPECT_EQ(day1[1], "14:05:09 → Open: timeout");
  EXPECT_EQ(Lines(ReadCp949File(dir + "\\QueryErrorErrLog250725.log")), std::vector<std::string>{"00:00:01 → Exec"});
  // The run log stays with its start date's file.
  EXPECT_EQ(Lines(ReadCp949File(path)), std::vector<std::string>{"2025-07-25, 00:00:01 after midnight"});

  TLogMan normal(clock, "AutoDBMSKind", false, dir + "\\");
  EXPECT_EQ(normal.FileName(), dir + "\\AutoDBMSKindLog250725.log");
}

TEST_F(Logs, LogManLosesALineQuietlyWhenItCannotWrite) {
  TLogMan lost(clock, "QueryError", true, "D:\\no\\such\\folder\\");
  lost.Write("Open", "x");  // nothing to assert but that it returns
  EXPECT_FALSE(FileExists(lost.FileName()));
}

TEST(RunLogFile, NamedForTheStartDateInTheLogFolder) {
  CleanInstallRoots clean;
  FakeClock clock;
  MakeFolders("D:\\CVL2000");
  EXPECT_EQ(RunLogFilePath(clock), "D:\\CVL2000\\Log\\CvlUpdaterLogNew250724.log");
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Log"));  // made on first use
  clock.now = {2026, 1, 2, 0, 0, 1, 0};
  EXPECT_EQ(RunLogFilePath(clock), "D:\\CVL2000\\Log\\CvlUpdaterLogNew260102.log");
  // A Log folder that cannot be made (a file stands there): the file goes to C:\.
  RemoveTree("D:\\CVL2000\\Log");
  WriteFileBytes("D:\\CVL2000\\Log", "not a folder");
  EXPECT_EQ(RunLogFilePath(clock), "C:\\CvlUpdaterLogNew260102.log");
}
