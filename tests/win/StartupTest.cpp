#include <gtest/gtest.h>

#include "db/Database.h"
#include "core/LogFormat.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

// Runs of the real program against a clinic install root on the sandbox D: drive.
class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
    if (!UseClinicDatabase()) GTEST_SKIP() << "no clinic database: scripts/test starts one";
  }

  std::string LogPath() {
    return "D:\\CVL2000\\Log\\CvlUpdaterLogNew" + DateStampYymmdd(SystemClock().Now()) + ".log";
  }
  std::vector<std::string> LogLines() { return Lines(ReadCp949File(LogPath())); }
  static std::string Tool() { return "\"" + BuildFolder() + "UpdateTool.exe\""; }
  static bool Contains(const std::vector<std::string>& lines, std::string_view part) {
    for (const auto& l : lines)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }

  CleanInstallRoots clean;
};

}  // namespace

TEST_F(Startup, TwoRunsOnOneDayShareTheLogFile) {
  for (int run = 0; run < 2; ++run) {
    const ChildResult r = RunProgram(Tool());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
  }
  const std::vector<std::string> lines = LogLines();
  int separators = 0, starts = 0, ends = 0;
  for (const std::string& l : lines) {
    separators += l.size() == 21 + 51 && l.substr(21) == std::string(51, '=');
    starts += l.find("업데이트 툴 실행시작 [") != std::string::npos;
    ends += l.size() > 21 && l.substr(21) == "업데이트 종료";
  }
  EXPECT_EQ(separators, 2);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(ends, 2);
  // Own version and description from the program's version information.
  EXPECT_TRUE(Contains(lines, "UpdateTool.exe(1.0.0.1), Corvel update tool]"));
  EXPECT_TRUE(Contains(lines, "업데이트 툴 수동실행 ["));
  EXPECT_FALSE(Contains(lines, "ParamStr"));
}

TEST_F(Startup, OnlyTheUserIdGivesASummaryWithoutManualRunLine) {
  const ChildResult r = RunProgram(Tool() + " \"\" admin");
  ASSERT_TRUE(r.finished);
  const std::vector<std::string> lines = LogLines();
  EXPECT_FALSE(Contains(lines, "수동실행"));
  bool found = false;
  for (const std::string& l : lines)
    found |= l.size() > 21 && l.substr(21) == "    , 사용자ID(ParamStr(2)): admin";
  EXPECT_TRUE(found);
}

TEST_F(Startup, TheReservedNameEndsAtOnceWithoutALog) {
  const std::string copy = "D:\\CVL2000\\Exe\\CvlUpdater.EXE";
  ASSERT_TRUE(::CopyFileW(Wide(BuildFolder() + "UpdateTool.exe").c_str(), Wide(copy).c_str(), FALSE));
  const ChildResult r = RunProgram("\"" + copy + "\"");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Log"));
}

TEST_F(Startup, ASecondInstanceEndsWithoutAWindow) {
  OwnedMutex held(::CreateMutexW(nullptr, TRUE, L"업데이트"));  // as a running first instance does
  ASSERT_TRUE(held);
  const ChildResult r = RunProgram(Tool(), 20000);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_FALSE(Contains(LogLines(), "실행시작"));
  EXPECT_EQ(::FindWindowW(L"TfmMain", nullptr), nullptr);
}
