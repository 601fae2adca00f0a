// The support desk's reader of run logs: the line forms both ways, and logs as clinics send them
// (cut by a power loss, a run killed, another encoding, lines it does not know).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <iconv.h>
#include <unistd.h>

#include "core/LogForms.h"
#include "RunLogReading.h"
#include "Toolpack.h"

using namespace updater;
using namespace updater::toolpack;

namespace {

std::string Convert(const std::string& text, const char* to) {
  iconv_t cd = ::iconv_open(to, "UTF-8");
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  char* o = out.data();
  size_t left = text.size(), room = out.size();
  ::iconv(cd, &in, &left, &o, &room);
  ::iconv_close(cd);
  out.resize(out.size() - room);
  return out;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  int second = 0;
  for (const std::string& l : lines) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2026-12-10, 10:%02d:%02d ", second / 60, second % 60);
    ++second;
    text += (l.empty() ? "" : stamp + l) + "\r\n";
  }
  return text;
}

// A run by hand that deploys two files and keeps one, as the program writes it.
const std::vector<std::string> kDeployed = {
    "===================================================",
    "업데이트 툴 실행시작 [C:\\Program Files (x86)\\T(1)\\Tool01_6001.exe(1.0.0.1), Corvel update tool]",
    "업데이트 툴 수동실행 [C:\\Program Files (x86)\\T(1)\\Tool01_6001.exe]",
    "",
    "업데이트 툴 자동실행 [C:\\Program Files (x86)\\T(1)\\Tool01_6001.exe]",
    "업데이트 툴 유효성 검사",
    "리소스에서 업데이트 파일 읽어오기[C:\\Program Files (x86)\\T(1)\\Tool01_6001.exe]",
    "    SHA-256 확인 [3개 파일 일치]",
    "선수 툴 체크",
    "    선수 툴 없음",
    "Finished 선수 툴 체크",
    "업데이트 파일목록 (3개 파일)",
    "Start procedure ExecuteBackup (3개 파일)",
    "    파일복사 [1. D:\\CVL2000\\Exe\\A.dll]",
    "    → [D:\\CVL2000\\Exe\\A.dll] to [D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\A.dll] 파일복사(백업)",
    "Finished procedure ExecuteBackup",
    "Start procedure ExecuteUpdate (3개 파일)",
    "    파일복사 [1. D:\\CVL2000\\Exe\\A.dll]",
    "    → [D:\\CVL2000\\Temp\\FX4\\New\\T\\A.dll] to [D:\\CVL2000\\Exe\\A.dll] 파일복사",
    "    파일복사 [2. D:\\CVL2000\\Exe\\B [1].txt]",
    "    → [D:\\CVL2000\\Temp\\FX4\\New\\T\\B [1].txt] to [D:\\CVL2000\\Exe\\B [1].txt] 파일복사",
    "    파일복사 [3. D:\\CVL2000\\Exe\\C.dll] → 최신/동일버전 존재(현 60101, 복사 60101), 복사 건너뜀",
    "    Start DeleteTempFiles(D:\\CVL2000\\Temp\\FX4\\New\\)",
    "    Finished DeleteTempFiles(D:\\CVL2000\\Temp\\FX4\\New\\)",
    "Finished procedure ExecuteUpdate",
    "",
    "업데이트 종료",
    "",
};

// A run started by the client whose second copy fails and is rolled back.
const std::vector<std::string> kRolledBack = {
    "===================================================",
    "업데이트 툴 실행시작 [D:\\tools\\Tool01_9202.exe(1.0.0.1), Corvel update tool]",
    "    호출프로그램(ParamStr(1)): Caller.exe, 사용자ID(ParamStr(2)): admin",
    "업데이트 툴 자동실행 [D:\\tools\\Tool01_9202.exe]",
    "리소스에서 업데이트 파일 읽어오기[D:\\tools\\Tool01_9202.exe]",
    "업데이트 파일목록 (2개 파일)",
    "Start procedure ExecuteUpdate (2개 파일)",
    "    파일복사 [1. D:\\CVL2000\\Exe\\A.txt]",
    "    → [D:\\CVL2000\\Temp\\FX4\\New\\T\\A.txt] to [D:\\CVL2000\\Exe\\A.txt] 파일복사",
    "    파일복사 [2. D:\\CVL2000\\Exe\\B2.txt]",
    "    → FileCopyWithProgress [에러발생(2)(Cannot create file \"D:\\CVL2000\\Exe\\B2.txt\". 접근이 거부되었습니다., B2.txt)]",
    "    백업파일롤백",
    "    파일복사(롤백)[1. D:\\CVL2000\\Exe\\A.txt]",
    "    → [D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\A.txt] to [D:\\CVL2000\\Exe\\A.txt] 파일복사(롤백) 성공",
    "    파일삭제(롤백)[3. D:\\CVL2000\\Exe\\New.txt]",
    "    → [D:\\CVL2000\\Exe\\New.txt] 파일삭제(롤백) 실패",
    "    Finished DeleteTempFiles(D:\\CVL2000\\Temp\\FX4\\New\\)",
    "Finished procedure ExecuteUpdate",
    "    → CvlUpdaterErrLog [FileCopyWithProgress [에러발생(2)(...)]]",
};

// The same run killed during its rollback: its last lines never came.
const std::vector<std::string> kKilled(kRolledBack.begin(), kRolledBack.end() - 3);

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

// Every form the reader relies on reads back the fields it was filled with, also fields that hold
// the form's own brackets, parentheses and separators.
TEST(LogForms, FilledLinesReadBackTheirFields) {
  struct Row {
    LogForm form;
    std::vector<std::string> fields;
  };
  const Row rows[] = {
      {logform::kRunStart, {"C:\\Program Files (x86)\\T(1).exe", "1.0.0.1", "Corvel update tool"}},
      {logform::kToolLoad, {"D:\\a [b]\\Tool01_1.exe"}},
      {logform::kLoadError, {"Damaged resource: \"x,CurrentRunningTask:y\"", "LoadFileFromResource(D:\\t.exe,a.txt_CheckDigest)"}},
      {logform::kBracketedError, {"FileCopyWithProgress", "2)(Cannot create file \"D:\\a [1].txt\"., a [1].txt"}},
      {logform::kStepError, {"ExecuteUpdate", "disk (D:) full"}},
      {logform::kCopyError, {"2", "Cannot create file \"D:\\a (1).txt\", the disk is full.", "a (1).txt"}},
      {logform::kCopyFile, {"12", "D:\\CVL2000\\Exe\\1. B [2].txt"}},
      {logform::kCopyKept, {"3", "D:\\CVL2000\\Exe\\C.dll", "60101", "60101", std::string(logform::kDeployKeptWord)}},
      {logform::kCopyHeader, {"D:\\x] to [y.txt", "D:\\z.txt", "파일복사(강제덮어쓰기,파일버전무시)"}},
      {logform::kRestored, {"D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\A.txt", "D:\\CVL2000\\Exe\\A.txt"}},
      {logform::kTerminated, {"Tool01_1.exe", "_ExecuteUpdate", "Tool01_1.exe,업데이트1개,"}},
      {logform::kCancelledFromCaller, {"Caller.exe", "[T,업데이트1개,](Viewer.exe,실행프로세스1건)"}},
      {logform::kFailureSummary, {"A [에러발생(1)] 정상종료"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.form.pattern);
    std::string line;
    switch (row.fields.size()) {
      case 1: line = Fill(row.form, {row.fields[0]}); break;
      case 2: line = Fill(row.form, {row.fields[0], row.fields[1]}); break;
      case 3: line = Fill(row.form, {row.fields[0], row.fields[1], row.fields[2]}); break;
      default: line = Fill(row.form, {row.fields[0], row.fields[1], row.fields[2], row.fields[3], row.fields[4]}); break;
    }
    const auto read = Match(row.form, line);
    ASSERT_TRUE(read.has_value()) << line;
    EXPECT_EQ(*read, row.fields);
  }
  EXPECT_FALSE(Match(logform::kRunStart, "업데이트 툴 실행시작 [no version]"));
  EXPECT_FALSE(Match(logform::kRunEnd, "업데이트 종료 "));
}

// Logs as they reach the support desk: whatever happened to the file, the reader says what it saw.
TEST(RunLogReading, LogsAsClinicsSendThem) {
  const std::string day = Lines(kDeployed + kKilled);
  struct Row {
    const char* what;
    std::string bytes;
    const char* encoding;
    size_t runs;
    const char* lastEnd;
    bool endsMidLine;
    size_t unknown;  // lines of the last run the reader could not place
  };
  const std::string cp949 = Convert(day, "CP949");
  const Row rows[] = {
      {"a day of two runs, the last killed before its end", cp949, "CP949", 2, "did not end", false, 0},
      {"cut in the middle of its last line (power lost)", cp949.substr(0, cp949.size() - 8), "CP949", 2, "did not end", true, 1},
      {"written as UTF-8", day, "UTF-8", 2, "did not end", false, 0},
      {"written as UTF-16 with its mark", "\xFF\xFE" + Convert(day, "UTF-16LE"), "UTF-16LE", 2, "did not end", false, 0},
      {"a byte of no character and lines of another program", Convert(Lines(kDeployed), "CP949") + "\xFF\xFE\xFF\r\n" +
           Convert(Lines({"새로운 형식의 줄", "업데이트 종료"}), "CP949"), "CP949", 1, "ended", false, 2},
      {"the last run ends normally", Convert(Lines(kDeployed + kKilled + std::vector<std::string>{"업데이트 종료"}), "CP949"), "CP949",
       2, "ended", false, 0},
      {"empty", "", "CP949", 0, "", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const LogFileRead read = ReadRunLog("day.log", row.bytes);
    EXPECT_EQ(read.encoding, row.encoding);
    EXPECT_EQ(read.endsMidLine, row.endsMidLine);
    ASSERT_EQ(read.runs.size(), row.runs);
    if (read.runs.empty()) continue;
    const RunRecord& first = read.runs.front();
    EXPECT_EQ(first.EndState(), "ended");
    EXPECT_EQ(first.HowStarted(), "by hand");
    EXPECT_EQ(first.programVersion, "1.0.0.1");
    ASSERT_EQ(first.tools.size(), 1u);
    EXPECT_TRUE(first.tools[0].Deployed());
    EXPECT_TRUE(first.tools[0].finished);
    EXPECT_EQ(first.tools[0].copied, 2);
    EXPECT_EQ(first.tools[0].kept, 1);
    EXPECT_EQ(first.tools[0].Skipped(), 0);
    EXPECT_FALSE(first.Failed());
    const RunRecord& last = read.runs.back();
    EXPECT_EQ(last.EndState(), row.lastEnd);
    if (read.runs.size() == 2) EXPECT_FALSE(last.tools.at(0).finished);  // killed before its finish step
    EXPECT_EQ(last.unknownLines.size(), row.unknown) << ::testing::PrintToString(last.unknownLines);
  }
}

// The rolled-back run in detail: what failed, what was put back and what was not.
TEST(RunLogReading, ARollbackSaysWhatWasPutBackAndWhatWasNot) {
  const LogFileRead read = ReadRunLog("day.log", Convert(Lines(kRolledBack), "CP949"));
  ASSERT_EQ(read.runs.size(), 1u);
  const RunRecord& run = read.runs[0];
  EXPECT_EQ(run.HowStarted(), "by the client program Caller.exe, user id admin");
  EXPECT_EQ(run.EndState(), "ended (caller started again)");
  EXPECT_TRUE(run.Failed());
  ASSERT_EQ(run.tools.size(), 1u);
  const ToolTurn& t = run.tools[0];
  EXPECT_TRUE(t.rolledBack);
  EXPECT_TRUE(t.finished);
  ASSERT_FALSE(t.failures.empty());
  EXPECT_EQ(t.failures[0].step, "FileCopyWithProgress");
  EXPECT_EQ(t.restored, std::vector<std::string>{"D:\\CVL2000\\Exe\\A.txt"});
  EXPECT_EQ(t.notPutBack, std::vector<std::string>{"D:\\CVL2000\\Exe\\New.txt"});
  EXPECT_EQ(run.failureSummary, "FileCopyWithProgress [에러발생(2)(...)]");
}

// --json is one document a JSON parser reads, also with quotes, backslashes, bytes of no character
// and a file that cannot be read.
TEST(RunLogReading, JsonParses) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("runlog-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    std::ofstream(folder / "CvlUpdaterLogNew261210.log", std::ios::binary)
        << Convert(Lines(kDeployed + kRolledBack), "CP949") << "\x81\xFF 2026-12-10, 10:59:59 \"cut";
    std::ofstream(folder / "CvlUpdaterLogNew261209.log", std::ios::binary) << Convert(Lines(kDeployed), "CP949");
  }
  std::ostringstream out;
  // A file that cannot be read is said and does not hide the others.
  EXPECT_EQ(Log({(folder / "gone.log").string(), folder.string()}, out, {.json = true}), 1u);
  const std::string json = out.str();
  EXPECT_LT(json.find("261209"), json.find("261210"));  // the days in date order
  const std::filesystem::path file = folder / "out.json";
  std::ofstream(file, std::ios::binary) << json;
  const std::string check = "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); sys.exit(0 if len(d[\"runs\"]) == 3 and d[\"files\"][0][\"error\"] else 1)' " + file.string();
  EXPECT_EQ(std::system(check.c_str()), 0) << json;
  std::filesystem::remove_all(folder);
}
