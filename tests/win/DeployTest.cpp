#include <gtest/gtest.h>

#include <optional>

#include "db/Database.h"
#include "deploy/CopyEngine.h"
#include "deploy/Passes.h"
#include "core/ClientFolders.h"
#include "core/RunState.h"
#include "env/FileVersion.h"
#include "env/Housekeeping.h"
#include "platform/Processes.h"
#include "env/Termination.h"
#include "core/VersionRules.h"
#include "Harness.h"
#include "deploy/Installers.h"
#include "deploy/Updater.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace updater;
using namespace updater::test;

namespace {

class Deploy : public ::testing::Test {
 protected:
  void SetUp() override {
    run = RunState{};
    MakeFolders("D:\\CVL2000\\Exe");
    MakeFolders(staging);
  }
  // Adds a staged file with its package record; the record sends it to the Exe folder.
  TUpdateFile& Stage(const std::string& name, const std::string& content, uint8_t copyType = 0, int index = 6) {
    WriteFileBytes(staging + name, content);
    return StageExisting(staging + name, copyType, index);
  }
  TUpdateFile& StageExisting(const std::string& path, uint8_t copyType = 0, int index = 6) {
    const std::string name = path.substr(path.rfind('\\') + 1);
    upd.ResourceList.push_back({"MODULE", name, "", copyType, 1, index, "", "", 0});
    TUpdateFile f;
    f.FileName = name;
    f.StagingPath = path;
    f.Size = FileSize(path);
    f.DotlessVersion = Dotless(VersionText(path));
    f.ResourceIndex = static_cast<int32_t>(upd.ResourceList.size() - 1);
    upd.UpdateList.push_back(f);
    return upd.UpdateList.back();
  }
  static std::string Fixture(const char* name) { return BuildFolder() + name; }
  // The deploy pass and the finish step as the run calls them; answers the tool's outcome.
  bool Update(bool backedUp = true) {
    FinishOnce finish(upd, false);
    finish.SetStage("ExecuteUpdate");
    return ExecuteUpdate(upd, view, backedUp, finish);
  }
  bool BothPasses() { return Update(ExecuteBackup(upd, view)); }

  CleanInstallRoots clean;
  const std::string staging = "D:\\CVL2000\\Temp\\FX4\\New\\Tool01_1\\";
  const std::string exe = "D:\\CVL2000\\Exe\\";
  const std::string backup = "D:\\CVL2000\\Temp\\FX4\\Backup\\Exe\\";
  ScriptedUi ui;
  FakeClock clock;
  RunState run;
  Database db{ui, clock};
  TUpdater upd{ui, clock, run, db};
  RecordingView view;
};

}  // namespace

TEST_F(Deploy, CopyEngineBlocksAndEdges) {
  WriteFileBytes(staging + "zero.bin", "");
  EXPECT_EQ(FileCopyWithProgress(staging + "zero.bin", exe + "zero.bin", 0, CopyKind::Normal, run, view), CopyResult::Copied);
  EXPECT_TRUE(FileExists(exe + "zero.bin"));

  for (size_t size : {kCopyBlock, kCopyBlock + 1}) {
    view.progress.clear();
    const std::string content(size, 'q');
    WriteFileBytes(staging + "block.bin", content);
    EXPECT_EQ(FileCopyWithProgress(staging + "block.bin", exe + "block.bin", 7, CopyKind::Normal, run, view), CopyResult::Copied);
    EXPECT_EQ(ReadFileBytes(exe + "block.bin"), content);
    ASSERT_EQ(view.progress.size(), size == kCopyBlock ? 2u : 3u);  // the range, then one step per block
    EXPECT_EQ(view.progress.back(), std::make_pair(uint64_t{size}, uint64_t{size}));
  }
  EXPECT_TRUE(RunLogHas("] to [" + exe + "block.bin] 파일복사(강제덮어쓰기,파일버전무시)"));
  EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
}

TEST_F(Deploy, AnInterruptedCopyNeverReplacesTheTargetAndIsRetried) {
  WriteFileBytes(staging + "a.dll", std::string(100000, 'n'));
  WriteFileBytes(exe + "a.dll", "old");
  run.Terminating = true;  // the loop stops at once
  EXPECT_EQ(FileCopyWithProgress(staging + "a.dll", exe + "a.dll", 0, CopyKind::Normal, run, view), CopyResult::SizeMismatch);
  EXPECT_EQ(ReadFileBytes(exe + "a.dll"), "old");
  EXPECT_TRUE(RunLogHas("    → 파일복사 후 파일크기 상이(a.dll, 원본: 97KB, 대상: 0Byte)"));
  EXPECT_EQ(CopyWithRetry(staging + "a.dll", exe + "a.dll", 0, CopyKind::Normal, run, view), CopyResult::Copied);
  EXPECT_EQ(ReadFileBytes(exe + "a.dll"), std::string(100000, 'n'));
  EXPECT_TRUE(RunLogHas("    → 파일복사(재시도) 후 파일복사 성공(a.dll, 원본: 97KB, 대상: 97KB)"));
  EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
}

TEST_F(Deploy, RetryCopyOntoItselfFailsButSizesAgree) {
  WriteFileBytes(exe + "self.dll", "same");
  EXPECT_EQ(FileCopyWithProgressNew1st(exe + "self.dll", exe + "self.dll", 0, CopyKind::Backup, run), CopyResult::Failed);
  EXPECT_TRUE(run.FailureList.Contains("FileCopyWithProgressNew1st [파일복사에러, self.dll]"));
  EXPECT_TRUE(RunLogHas("    → 파일복사(백업)(재시도) 후 파일복사 성공(self.dll"));
  EXPECT_EQ(ReadFileBytes(exe + "self.dll"), "same");
}

TEST_F(Deploy, AHolderIsTerminatedAndTheCopyGoesThrough) {
  WriteFileBytes(exe + "Holder.exe", "old");
  WriteFileBytes(staging + "Holder.exe", "new program");
  DummyProcess holder("D:\\run\\Holder.exe", "--hold \"" + exe + "Holder.exe\"");
  ASSERT_TRUE(holder.Running());
  EXPECT_EQ(FileCopyWithProgress(staging + "Holder.exe", exe + "Holder.exe", 0, CopyKind::Normal, run, view), CopyResult::Copied);
  EXPECT_FALSE(holder.Running());
  EXPECT_EQ(ReadFileBytes(exe + "Holder.exe"), "new program");
  EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
}

TEST_F(Deploy, AHolderThatCannotBeTerminatedIsRecordedOnce) {
  WriteFileBytes(staging + "Stuck.exe", "new");
  WriteFileBytes(exe + "Stuck.exe", "old");
  {
    // A program of that name holds the installed file open and cannot be ended.
    DummyProcess holder("D:\\run\\Stuck.exe", "--hold \"" + exe + "Stuck.exe\"", true);
    ASSERT_TRUE(holder.Running());
    EXPECT_EQ(FileCopyWithProgress(staging + "Stuck.exe", exe + "Stuck.exe", 0, CopyKind::Normal, run, view), CopyResult::Failed);
    EXPECT_TRUE(holder.Running());
    EXPECT_TRUE(run.KillFailedList.Contains("Stuck.exe"));
    size_t failureLines = 0, copyLines = 0;
    for (const std::string& line : run.FailureList) {
      failureLines += line.rfind("프로세스종료실패(Stuck.exe,WaitForSingleObjectResult: WAIT_FAILED", 0) == 0;
      if (line.rfind("FileCopyWithProgress [에러발생(2)(Cannot create file \"" + exe + "Stuck.exe\".", 0) == 0) {
        ++copyLines;
      }
    }
    EXPECT_EQ(failureLines, 1u);
    EXPECT_EQ(copyLines, 1u);

    // The same failure again adds no second termination line.
    FileCopyWithProgress(staging + "Stuck.exe", exe + "Stuck.exe", 0, CopyKind::Normal, run, view);
    failureLines = 0;
    for (const std::string& line : run.FailureList) failureLines += line.rfind("프로세스종료실패(Stuck.exe", 0) == 0;
    EXPECT_EQ(failureLines, 1u);
  }
  EXPECT_EQ(ReadFileBytes(exe + "Stuck.exe"), "old");

  // The deploy pass moves the file of a program that could not be ended out of the way (a running
  // program's file can be renamed, not replaced).
  ::DeleteFileW(Wide(exe + "Stuck.exe").c_str());
  DummyProcess image(exe + "Stuck.exe", "", true);
  ASSERT_TRUE(image.Running());
  StageExisting(staging + "Stuck.exe");
  EXPECT_TRUE(Update());
  EXPECT_EQ(ReadFileBytes(exe + "Stuck.exe"), "new");
  EXPECT_TRUE(RunLogHas("[프로세스종료 실패파일 파일명 변경(" + exe + "Stuck_"));
  EXPECT_FALSE(NoTemporaryFiles("D:\\CVL2000\\Exe"));  // the renamed file waits for the next sweep
}

TEST_F(Deploy, ADllHeldByAProgramIsWrittenAfterItsHolderEnds) {
  ::CopyFileW(Wide(Fixture("ver_none.dll")).c_str(), Wide(exe + "Lib.dll").c_str(), FALSE);
  ::CopyFileW(Wide(Fixture("ver_plain.dll")).c_str(), Wide(staging + "Lib.dll").c_str(), FALSE);
  DummyProcess loader("D:\\run\\Loader.exe", "--load \"" + exe + "Lib.dll\"");
  ASSERT_TRUE(loader.Running());
  EXPECT_EQ(FileCopyWithProgress(staging + "Lib.dll", exe + "Lib.dll", 0, CopyKind::Normal, run, view), CopyResult::Copied);
  EXPECT_FALSE(loader.Running());
  EXPECT_EQ(ReadFileBytes(exe + "Lib.dll"), ReadFileBytes(staging + "Lib.dll"));
}

// The three wait modes and the answer for a program that cannot be started.
TEST_F(Deploy, StartAndWaitModes) {
  EXPECT_EQ(StartAndWait("D:\\nowhere\\missing.exe", StartMode::Detached, 0), -1);
  EXPECT_EQ(StartAndWait("D:\\nowhere\\missing.exe", StartMode::Console, -1), -1);
  for (const StartMode start : {StartMode::Detached, StartMode::Console, StartMode::Hidden})
    for (const int32_t mode : {0, -1, 30000})
      EXPECT_EQ(StartAndWait("cmd.exe /c exit 7", start, mode), 7) << static_cast<int>(start) << mode;
  // A timed wait that runs out answers 259 and leaves the child running.
  const std::string client = "D:\\run\\Waiter.exe";
  MakeFolders("D:\\run");
  ::CopyFileW(Wide(BuildFolder() + "dummy_client.exe").c_str(), Wide(client).c_str(), FALSE);
  EXPECT_EQ(StartAndWait(client, StartMode::Detached, 1000), 259);
  EXPECT_TRUE(IsRunning("waiter.exe"));
  StringList names;
  names.Add("waiter.exe");
  EXPECT_TRUE(TerminateProcessesByName(run, names, false, false));
}

TEST_F(Deploy, ModuleHoldersAreFoundOnlyInTheClientFolders) {
  ::CopyFileW(Wide(Fixture("ver_none.dll")).c_str(), Wide(exe + "Lib.dll").c_str(), FALSE);
  MakeFolders("D:\\elsewhere");
  ::CopyFileW(Wide(Fixture("ver_none.dll")).c_str(), L"D:\\elsewhere\\Other.dll", FALSE);
  DummyProcess inside("D:\\run\\Inside.exe", "--load \"" + exe + "Lib.dll\"");
  DummyProcess outside("D:\\run\\Outside.exe", "--load D:\\elsewhere\\Other.dll");
  StringList names, found;
  names.Add("lib.dll");
  names.Add("other.dll");
  EXPECT_TRUE(FindModuleUsers(run, names, found));
  EXPECT_EQ(found.Items(), std::vector<std::string>{"Inside.exe"});
  TerminateModuleUsers(run, names, true);
  EXPECT_FALSE(inside.Running());
  EXPECT_TRUE(outside.Running());
  EXPECT_TRUE(RunLogHas("    → 프로세스종료성공(Inside.exe)"));
}

TEST_F(Deploy, TerminationByNameAndTheClosableTable) {
  DummyProcess a("D:\\run\\Halcyra.exe", ""), b("D:\\run2\\Halcyra.exe", "");
  StringList names, found;
  names.Add("halcyra.exe");
  EXPECT_TRUE(FindRunningByName(names, found));
  EXPECT_EQ(found.Size(), 2u);  // one entry per instance
  EXPECT_TRUE(TerminateProcessesByName(run, names, false, true));
  EXPECT_FALSE(a.Running());
  EXPECT_FALSE(b.Running());
  StringList none;
  none.Add("notrunning.exe");
  EXPECT_FALSE(TerminateProcessesByName(run, none, false, true));
  EXPECT_TRUE(RunLogHas("    실행 프로세스 중 종료대상 없음"));

  StringList holders;
  EXPECT_TRUE(OnlyClosableHolders(holders));
  holders.Add(" TXOrvex.EXE ");
  holders.Add("halcyra.exe");
  EXPECT_TRUE(OnlyClosableHolders(holders));
  holders.Add("Cvl.exe");
  EXPECT_FALSE(OnlyClosableHolders(holders));
  EXPECT_TRUE(IsRunning("WINEDEVICE.EXE") || IsRunning("services.exe"));
  EXPECT_FALSE(IsRunning("services.exe", 0xFFFFFFF0u));
}

TEST_F(Deploy, VersionDecisionInBothPasses) {
  // Installed 6.0.9.50 (60950) against 6.0.10.1 (60101): ordinal text says installed is newer.
  ::CopyFileW(Wide(Fixture("ver_older_text.dll")).c_str(), Wide(exe + "Lib.dll").c_str(), FALSE);
  ::CopyFileW(Wide(Fixture("ver_plain.dll")).c_str(), Wide(staging + "Lib.dll").c_str(), FALSE);
  EXPECT_EQ(StageExisting(staging + "Lib.dll").DotlessVersion, "60101");
  // Unversioned files: equal size skipped, different size copied.
  WriteFileBytes(exe + "same.txt", "12345");
  Stage("same.txt", "54321");
  WriteFileBytes(exe + "diff.txt", "1234");
  Stage("diff.txt", "123456");
  // Copy type 7 replaces even a newer file.
  ::CopyFileW(Wide(Fixture("ver_commas.dll")).c_str(), Wide(exe + "Forced.dll").c_str(), FALSE);
  WriteFileBytes(staging + "Forced.dll", "forced");
  StageExisting(staging + "Forced.dll", 7);
  Stage("New.dll", "brand new");

  EXPECT_TRUE(ExecuteBackup(upd, view));
  EXPECT_FALSE(FileExists(backup + "Lib.dll"));
  EXPECT_FALSE(FileExists(backup + "same.txt"));
  EXPECT_EQ(ReadFileBytes(backup + "diff.txt"), "1234");
  EXPECT_TRUE(FileExists(backup + "Forced.dll"));
  EXPECT_FALSE(FileExists(backup + "New.dll"));  // nothing to back up
  EXPECT_TRUE(RunLogHas("    → [" + backup + "] 백업폴더 생성"));

  EXPECT_TRUE(Update());
  EXPECT_EQ(VersionText(exe + "Lib.dll"), "6.0.9.50");  // left alone
  EXPECT_TRUE(RunLogHas("    파일복사 [1. " + exe + "Lib.dll] → 최신/동일버전 존재(현 60950, 복사 60101), 복사 건너뜀"));
  EXPECT_EQ(ReadFileBytes(exe + "same.txt"), "12345");
  EXPECT_EQ(ReadFileBytes(exe + "diff.txt"), "123456");
  EXPECT_EQ(ReadFileBytes(exe + "Forced.dll"), "forced");
  EXPECT_EQ(ReadFileBytes(exe + "New.dll"), "brand new");
  EXPECT_TRUE(RunLogHas("    파일복사 [2. " + exe + "same.txt] → 최신/동일버전 존재(현 0000, 복사 0000), 복사 건너뜀"));
  EXPECT_TRUE(RunLogHas("    파일복사 [2. " + exe + "same.txt] → 최신/동일버전 존재(현 0000, 복사 0000), 백업 건너뜀"));
  EXPECT_TRUE(RunLogHas("] to [" + exe + "Forced.dll] 파일복사(강제덮어쓰기,파일버전무시)"));
  EXPECT_TRUE(RunLogHas("] to [" + exe + "New.dll] 파일복사") && !RunLogHas("] to [" + exe + "New.dll] 파일복사(강제"));
  EXPECT_EQ(view.totalSteps, 5);  // skipped files advance the total too
  EXPECT_TRUE(RunLogHas("Finished procedure ExecuteUpdate"));
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Temp\\FX4\\New"));  // the finish step removed the staging files
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Temp"));
}

TEST_F(Deploy, EqualVersionsAreSkippedUnlessForced) {
  ::CopyFileW(Wide(Fixture("ver_commas.dll")).c_str(), Wide(exe + "Eq.dll").c_str(), FALSE);
  ::CopyFileW(Wide(Fixture("ver_commas.dll")).c_str(), Wide(staging + "Eq.dll").c_str(), FALSE);
  TUpdateFile& f = StageExisting(staging + "Eq.dll");
  EXPECT_EQ(f.DotlessVersion, "60280");
  const CopyDecision plain = ShouldCopy(exe + "Eq.dll", f.StagingPath, 0);
  EXPECT_FALSE(plain.copy);
  EXPECT_EQ(plain.installedDotless, "60280");
  EXPECT_TRUE(ShouldCopy(exe + "Eq.dll", f.StagingPath, 7).copy);
}

TEST_F(Deploy, RollbackPutsBackOnlyWhatThisRunChanged) {
  WriteFileBytes(exe + "Backed.dll", "old backed");
  Stage("Backed.dll", "new backed up");
  WriteFileBytes(exe + "Same.txt", "abc");
  Stage("Same.txt", "xyz");  // same size, no version: not backed up, not copied
  Stage("Fresh.dll", "new file");
  WriteFileBytes(exe + "Stale.txt", "current");
  Stage("Stale.txt", "otherss");  // same size: skipped
  // Backups an earlier run left behind: for a file this run creates and for one it does not replace.
  MakeFolders(backup);
  WriteFileBytes(backup + "Fresh.dll", "ancient fresh");
  WriteFileBytes(backup + "Stale.txt", "ancient");

  EXPECT_TRUE(BothPasses());  // succeeds; roll back by hand below
  EXPECT_EQ(ReadFileBytes(exe + "Backed.dll"), "new backed up");
  upd.Rollback();
  EXPECT_EQ(ReadFileBytes(exe + "Backed.dll"), "old backed");
  EXPECT_EQ(ReadFileBytes(exe + "Same.txt"), "abc");
  EXPECT_FALSE(FileExists(exe + "Fresh.dll"));  // deleted, not "restored" from the earlier run's backup
  EXPECT_EQ(ReadFileBytes(exe + "Stale.txt"), "current");  // never downgraded to the stale backup
  EXPECT_TRUE(RunLogHas("    → [" + backup + "Backed.dll] to [" + exe + "Backed.dll] 파일복사(롤백) 성공"));
  EXPECT_TRUE(RunLogHas("    → [" + exe + "Fresh.dll] 파일삭제(롤백) 성공"));
}

// A tool deploys everything its version rule asks for or nothing. Each row blocks one write with a
// folder standing where a file must go; the run must end failed with every client file as it was.
TEST_F(Deploy, AFailedBackupOrCopyFailsTheToolAndChangesNothing) {
  struct Row {
    const char* what;
    std::string blocked;  // made here: a folder, or a file where a folder must go
    bool asFile;
  };
  const Row rows[] = {
      {"the middle file's backup", backup + "B.dll", false},
      {"the middle file's target", exe + "B2.dll", false},
      {"the backup folder, which cannot be made", "D:\\CVL2000\\Temp\\FX4\\Backup", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RemoveTree("D:\\CVL2000\\Temp");
    RemoveTree(exe);
    MakeFolders(staging);
    MakeFolders(exe);
    run = RunState{};
    upd.UpdateList.clear();
    upd.ResourceList.clear();
    upd.WrittenBackups.Clear();
    view = RecordingView{};

    for (const char* name : {"A.dll", "B.dll", "C.dll"}) {
      WriteFileBytes(exe + name, std::string("old ") + name);
      Stage(name, std::string("newer ") + name);
    }
    Stage("B2.dll", "new file");  // a new file between the others
    std::swap(upd.UpdateList[2], upd.UpdateList[3]);  // A, B, B2, C
    if (row.asFile) {
      MakeFolders(row.blocked.substr(0, row.blocked.rfind('\\')));
      WriteFileBytes(row.blocked, "a file where a folder must go");
    } else {
      MakeFolders(row.blocked);
    }

    const size_t mark = RunLogMark();
    EXPECT_FALSE(BothPasses());
    for (const char* name : {"A.dll", "B.dll", "C.dll"}) EXPECT_EQ(ReadFileBytes(exe + name), std::string("old ") + name) << name;
    EXPECT_FALSE(FileExists(exe + "B2.dll"));
    bool named = false;
    for (const std::string& line : run.FailureList)
      named |= line.rfind("FileCopyWithProgress [에러발생(2)(Cannot create file", 0) == 0;
    EXPECT_TRUE(named);
    // One failed write, not a short copy sent to the retry; no error of the pass's own.
    EXPECT_FALSE(RunLogHas("(재시도)", mark));
    for (const std::string& line : run.FailureList) EXPECT_EQ(line.find("Cannot create folder"), std::string::npos);
    EXPECT_TRUE(NoTemporaryFiles("D:\\CVL2000\\Exe"));
  }
}

TEST_F(Deploy, AListWhoseEveryFileIsCurrentSucceedsWithoutCopying) {
  for (const char* name : {"A.txt", "B.txt"}) {
    WriteFileBytes(exe + name, "same");
    Stage(name, "SAME");
  }
  const size_t mark = RunLogMark();
  EXPECT_TRUE(BothPasses());
  EXPECT_EQ(view.totalSteps, 2);
  EXPECT_EQ(ReadFileBytes(exe + "A.txt"), "same");
  EXPECT_FALSE(FolderExists(backup));
  EXPECT_FALSE(RunLogHas("    백업파일롤백", mark));
}

TEST_F(Deploy, AFailedLastCopyRollsBackInTheFinishStep) {
  WriteFileBytes(exe + "A.dll", "old a");
  Stage("A.dll", "new a!");
  Stage("B.dll", "new b");
  // The last copy fails: a program of that name holds the file and cannot be ended.
  WriteFileBytes(exe + "C.exe", "old c");
  const std::string oldC = ReadFileBytes(exe + "C.exe");
  Stage("C.exe", "new c!!");
  std::optional<DummyProcess> holder;
  holder.emplace("D:\\run\\C.exe", "--hold \"" + exe + "C.exe\"", true);
  EXPECT_FALSE(BothPasses());
  EXPECT_EQ(ReadFileBytes(exe + "A.dll"), "old a");
  EXPECT_FALSE(FileExists(exe + "B.dll"));
  EXPECT_TRUE(RunLogHas("    백업파일롤백"));
  holder.reset();  // the held file can be read again
  EXPECT_EQ(ReadFileBytes(exe + "C.exe"), oldC);
}

// An error inside the deploy pass (here a staged file gone before its copy) fails the tool with the
// plain form of the failure line, logged and reported as written.
TEST_F(Deploy, AnErrorInsideTheDeployPassIsRecordedInThePlainForm) {
  TUpdateFile& f = Stage("Gone.dll", "x");
  ::DeleteFileW(Wide(f.StagingPath).c_str());
  const size_t mark = RunLogMark();
  EXPECT_FALSE(Update());
  ASSERT_FALSE(run.FailureList.Empty());
  EXPECT_EQ(run.FailureList[0].rfind("ExecuteUpdate 에러발생(Cannot open file \"", 0), 0u) << run.FailureList[0];
  EXPECT_EQ(run.FailureList[0].back(), ')');
  EXPECT_TRUE(RunLogHas("    → ExecuteUpdate 에러발생(Cannot open file \"", mark));
  EXPECT_FALSE(FileExists(exe + "Gone.dll"));
}

TEST_F(Deploy, AFileWithoutARecordIsNeitherDeployedNorInTheWayOfRollback) {
  TUpdateFile orphan;
  orphan.FileName = "Orphan.dll";
  WriteFileBytes(staging + "Orphan.dll", "left over");
  orphan.StagingPath = staging + "Orphan.dll";
  upd.UpdateList.push_back(orphan);
  Stage("Fresh.dll", "fresh");
  EXPECT_TRUE(BothPasses());
  EXPECT_FALSE(FileExists(exe + "Orphan.dll"));
  EXPECT_EQ(ReadFileBytes(exe + "Fresh.dll"), "fresh");
  EXPECT_TRUE(run.FailureList.Empty());
  upd.Rollback();
  EXPECT_FALSE(FileExists(exe + "Fresh.dll"));  // rolled back all the same
  for (const std::string& line : run.FailureList) EXPECT_EQ(line.find("백업파일롤백 에러발생"), std::string::npos);
}

// Rollback undoes only what this run did and says only that: a new file whose copy never arrived
// gets no line, and the folders the run made for its new files go when they end empty.
TEST_F(Deploy, RollbackRemovesTheFoldersTheRunMadeAndNothingItDidNotWrite) {
  WriteFileBytes(staging + "X.dll", "new x");
  upd.ResourceList.push_back({"MODULE", "X.dll", "", 0, 1, 0, "Extra\\Deep", "", 0});
  TUpdateFile x;
  x.FileName = "X.dll";
  x.StagingPath = staging + "X.dll";
  x.Size = 5;
  x.DotlessVersion = "0000";
  x.ResourceIndex = static_cast<int32_t>(upd.ResourceList.size() - 1);
  upd.UpdateList.push_back(x);
  Stage("Late.dll", "late");
  MakeFolders(exe + "Late.dll");  // a folder where the file must go: its copy fails
  EXPECT_FALSE(BothPasses());
  EXPECT_FALSE(FolderExists("D:\\CVL2000\\Extra"));
  EXPECT_TRUE(RunLogHas("    → [D:\\CVL2000\\Extra\\Deep\\X.dll] 파일삭제(롤백) 성공"));
  EXPECT_TRUE(RunLogHas("    → [D:\\CVL2000\\Extra\\Deep\\] 폴더삭제(롤백) 성공"));
  EXPECT_TRUE(RunLogHas("    → [D:\\CVL2000\\Extra\\] 폴더삭제(롤백) 성공"));
  EXPECT_FALSE(RunLogHas("[" + exe + "Late.dll] 파일삭제(롤백)"));
  EXPECT_TRUE(FolderExists(exe + "Late.dll"));  // not the run's: left alone
  EXPECT_TRUE(FolderExists("D:\\CVL2000\\Exe"));
}

// A deployed data tool or document takes its name's place in the run-wide lists; other names do not.
TEST_F(Deploy, DeployedDataToolsAndDocumentsAreNoted) {
  struct Row {
    const char* name;
    int index;
    bool dataTool, document;
  };
  const Row rows[] = {
      {"VEROZ5521.exe", 15, true, false}, {"veroz5521.exe", 15, true, false}, {"VEROZ55210.exe", 15, false, false},
      {"TETBLabcd.exe", 15, false, false}, {"VEROZ55A1.exe", 15, false, false}, {"Guide.mht", 12, false, true},
      {"Chart.pdf", 23, false, true},    {"Guide.mht", 6, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + "/" + std::to_string(row.index));
    RunState noted;
    noted.DataToolList.Add(row.name);
    noted.OpenFileList.Add(row.name);
    NoteDeployedPath(noted, row.index, row.name, "D:\\CVL2000\\X\\" + std::string(row.name));
    EXPECT_EQ(noted.DataToolList[0] != row.name, row.dataTool);
    EXPECT_EQ(noted.OpenFileList[0] != row.name, row.document);
  }
}

namespace {

constexpr wchar_t kRunOnce[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string RunOnceValue(const std::string& name) {
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kRunOnce, Wide(name).c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "";
  return Narrow(value);
}

// The recording double under a path; the lines it recorded, waited for (the shell starts it).
std::vector<std::string> StartedAs(const std::string& path, bool expectStart) {
  // A line is whole once its line break is there: the file appears before its content.
  for (int i = 0; i < (expectStart ? 250 : 25) && ReadFileBytes(path + ".log").find('\n') == std::string::npos; ++i) ::Sleep(40);
  return Lines(ReadFileBytes(path + ".log"));
}

}  // namespace

// Types 2 and 3 register the file in RunOnce (never making the key), with /qn for an exactly
// ".msi" file and /verysilent for anything else.
TEST_F(Deploy, RunOnceValuesOnlyWhereTheKeyExists) {
  struct Row {
    const char* name;
    uint8_t type;
    bool key;
    const char* value;  // empty: none written
  };
  const Row rows[] = {
      {"Setup.exe", 2, true, ""}, {"setup.msi", 3, true, " /qn"}, {"setup.MSI", 3, true, " /verysilent"},
      {"Setup.exe", 3, true, " /verysilent"}, {"Setup.exe", 2, false, nullptr}, {"setup.msi", 3, false, nullptr},
      {"Cvl Setup.exe", 2, true, ""}, {"Cvl Setup.exe", 3, true, " /verysilent"},  // quoted: see below
  };
  auto writtenName = [](uint8_t type) { return type == 2 ? "복사&시작등록(RunOnce)" : "복사&설치시작등록(InstallRunOnce,Silent)"; };
  HKEY made = nullptr;
  ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
  ::RegCloseKey(made);
  int position = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " type " + std::to_string(row.type) + (row.key ? "" : ", no key"));
    if (!row.key) ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRunOnce);
    TUpdateFile& f = Stage(row.name, "x", row.type);
    const std::string target = exe + row.name;
    const std::string valueName = "win_deploy_tests_" + std::to_string(++position);
    const size_t mark = RunLogMark();
    AfterDeployAction(*upd.Query, upd.ResourceOf(f), target, position);
    // A path with a blank is quoted, or Windows would run Exe\Cvl.exe with "Setup.exe" at the next start.
    const std::string path = target.find(' ') == std::string::npos ? target : "\"" + target + "\"";
    EXPECT_EQ(RunOnceValue(valueName), row.value ? path + row.value : "");
    EXPECT_TRUE(RunLogHas("    → " + std::string(writtenName(row.type)) + "(" + target + ",RegistryKey: " + valueName + ")", mark));
    if (!row.key) {
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
      ::RegCloseKey(made);
    }
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunOnce, Wide(valueName).c_str());
  }
}

// Types 1, 4, 6, 9 and 10 open the deployed file: 1 as it is, the others silently; 9 only when its
// required folder exists, 10 only on PostgreSQL.
TEST_F(Deploy, OpeningCopyTypesStartTheFileAsTheirConditionsSay) {
  struct Row {
    uint8_t type;
    const char* required;
    bool postgres;
    const char* arguments;  // null: not started
    const char* logged;     // the copy type's name in the log line
  };
  const Row rows[] = {
      {1, "", false, "", "복사&바로실행"},
      {4, "", false, " /verysilent /norestart", "복사&바로실행(Silent)"},
      {6, "", false, " /verysilent /norestart", "폴더존재시복사&바로실행(Silent)"},
      {9, "Exe", false, " /verysilent /norestart", "복사&특정폴더존재시바로실행(Silent)"},
      {9, "NoSuchFolder", false, nullptr, nullptr},
      {9, "  ", false, nullptr, nullptr},
      {10, "", true, " /verysilent /norestart", "복사&(PostgreSQLDB만)바로실행"},
      {10, "", false, nullptr, nullptr},
      {0, "", false, nullptr, nullptr},
      {7, "", false, nullptr, nullptr},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE("type " + std::to_string(row.type) + " " + row.required + (row.postgres ? " on PostgreSQL" : ""));
    const std::string name = "Installer" + std::to_string(++n) + ".exe";
    const std::string target = exe + name;
    ::CopyFileW(Wide(BuildFolder() + "data_tool.exe").c_str(), Wide(target).c_str(), FALSE);
    db.Kind = row.postgres ? DbmsKind::PostgreSql : DbmsKind::SqlAnywhere;
    TUpdater owner(ui, clock, run, db);
    owner.ResourceList.push_back({"MODULE", name, "", row.type, 1, 6, "", row.required, 0});
    TUpdateFile f;
    f.FileName = name;
    f.ResourceIndex = 0;
    AfterDeployAction(*owner.Query, owner.ResourceOf(f), target, n);
    const std::vector<std::string> started = StartedAs(target, row.arguments != nullptr);
    if (!row.arguments) {
      EXPECT_TRUE(started.empty());
      continue;
    }
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].find(name), std::string::npos) << started[0];
    EXPECT_EQ(started[0].substr(started[0].size() - std::string(row.arguments).size()), row.arguments) << started[0];
    EXPECT_TRUE(RunLogHas("    → " + std::string(row.logged) + "(" + target + ")"));
  }
  db.Kind = DbmsKind::SqlAnywhere;
}

// The mobile server starts again for each mobile module deployed after the run ended it, and only
// then; documents open only when the run allows it, and only those that are there.
TEST_F(Deploy, TheMobileServerAndTheDocumentsStartAsTheRunSays) {
  const std::string server = MobileFolder() + "CvlOrbiter_REST.exe";
  MakeFolders(MobileFolder());
  struct Row {
    const char* file;
    bool wasRunning;
    size_t starts;
  };
  const Row rows[] = {{"CvlPallid.dll", true, 1}, {"cvlternclient.EXE", true, 1}, {"CvlPallid.dll", false, 0}, {"Other.dll", true, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.file) + (row.wasRunning ? ", the server was ended" : ""));
    ::CopyFileW(Wide(BuildFolder() + "data_tool.exe").c_str(), Wide(server).c_str(), FALSE);
    ::DeleteFileW(Wide(server + ".log").c_str());
    RunState state;
    state.MobileServerWasRunning = row.wasRunning;
    MobileServerRestart(state, row.file);
    EXPECT_EQ(StartedAs(server, row.starts > 0).size(), row.starts);
  }

  const std::string doc = "D:\\CVL2000\\Manual\\Update\\Guide.exe";  // a program stands in for the document
  MakeFolders("D:\\CVL2000\\Manual\\Update");
  for (const bool allowed : {true, false}) {
    SCOPED_TRACE(allowed ? "documents allowed" : "NOTEXECMANUAL");
    ::CopyFileW(Wide(BuildFolder() + "data_tool.exe").c_str(), Wide(doc).c_str(), FALSE);
    ::DeleteFileW(Wide(doc + ".log").c_str());
    RunState state;
    state.OpenDocuments = allowed;
    state.OpenFileList.Add(doc);
    state.OpenFileList.Add("Missing.mht");  // never deployed: passed over
    OpenDocumentsStep(state, clock);
    EXPECT_EQ(StartedAs(doc, allowed).size(), allowed ? 1u : 0u);
  }
}
