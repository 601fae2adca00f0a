#include <gtest/gtest.h>

#include "db/Database.h"
#include "app/Main.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "Harness.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Ui.h"

using namespace updater;
using namespace updater::test;

namespace {


std::string Caption(HWND hwnd) {
  wchar_t text[256];
  ::GetWindowTextW(hwnd, text, 256);
  return Narrow(text);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders("D:\\CVL2000\\Exe");
  }
  CleanInstallRoots clean;
  ScriptedUi ui;
  FakeClock clock;
  Database db{ui, clock};
};

}  // namespace

TEST_F(MainWindow, CaptionAndTopmostMessages) {
  TfmMain window(::GetModuleHandleW(nullptr));
  EXPECT_EQ(Caption(window.Handle()), "업데이트");
  EXPECT_TRUE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  const std::string text = "업데이트(선수 툴 확인) VEROZ5521.exe";
  ::SendMessageW(window.Handle(), kMsgSetCaption, reinterpret_cast<WPARAM>(text.c_str()), 0);
  EXPECT_EQ(Caption(window.Handle()), text);
  ::SendMessageW(window.Handle(), kMsgSetTopmost, 0, 0);
  EXPECT_FALSE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  ::SendMessageW(window.Handle(), kMsgSetTopmost, 1, 0);
  EXPECT_TRUE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(::IsWindowVisible(window.Handle()));  // created hidden
  RECT r;
  ::GetClientRect(window.Handle(), &r);
  EXPECT_EQ(r.right - r.left, 338);
  EXPECT_EQ(r.bottom - r.top, 328);
  EXPECT_FALSE(::GetWindowLongW(window.Handle(), GWL_STYLE) & WS_SYSMENU);  // no title-bar buttons
}

TEST_F(MainWindow, AToolListThatCannotBeAskedEndsTheRunAsAnEmptyOne) {
  if (!UseClinicDatabase()) GTEST_SKIP() << "no clinic database: scripts/test starts one";
  db.Kind = DbmsKind::PostgreSql;
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\CVL2000\\Exe\\Caller.exe", FALSE);
  RecordingMainView view;
  TUpdateRun run({"test.exe", "Caller.exe"}, ui, clock, view, db);
  run.FormCreate();
  EXPECT_TRUE(view.timerStarted);
  run.RunUpdateTools();  // no agent DLL anywhere
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], "Corvel Fennix 실행모듈(appinterface.dll)을 찾을 수 없습니다.\r\nCorvel 실행파일 폴더를 확인해 주시기 바랍니다");
  EXPECT_TRUE(run.State().FailureList.Contains("RunUpdateTools [에러발생(" + ui.errors[0] + ")]"));
  EXPECT_TRUE(RunLogHas("실행할 업데이트 툴 없음, 업데이트 종료"));
  EXPECT_TRUE(RunLogHas("    → CvlUpdaterErrLog [RunUpdateTools [에러발생(Corvel Fennix 실행모듈(appinterface.dll)을 찾을 수 없습니다. Corvel 실행파일 폴더를"));
  for (int i = 0; i < 100 && !FileExists("D:\\CVL2000\\Exe\\caller.txt"); ++i) ::Sleep(20);
  EXPECT_TRUE(FileExists("D:\\CVL2000\\Exe\\caller.txt"));  // the caller is started again all the same
  EXPECT_EQ(view.quits, 1);
  EXPECT_FALSE(view.shown);
  run.FormDestroy();
}

TEST_F(MainWindow, TheCallerIsStartedFromItsFolder) {
  MakeFolders("D:\\CVL2000\\Drg");
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\CVL2000\\Drg\\Dovrane.exe", FALSE);
  ::CopyFileW(Wide(BuildFolder() + "dummy_caller.exe").c_str(), L"D:\\CVL2000\\Exe\\Cvl.exe", FALSE);
  RecordingMainView view;
  TUpdateRun run({"test.exe"}, ui, clock, view, db);
  run.RelaunchCaller("Dovrane.exe");  // this one lives in Drg
  run.RelaunchCaller("Cvl.exe");      // every other one in Exe
  for (int i = 0; i < 150 && !(FileExists("D:\\CVL2000\\Drg\\caller.txt") && FileExists("D:\\CVL2000\\Exe\\caller.txt")); ++i)
    ::Sleep(20);
  EXPECT_TRUE(FileExists("D:\\CVL2000\\Drg\\caller.txt"));
  EXPECT_TRUE(FileExists("D:\\CVL2000\\Exe\\caller.txt"));
}

TEST_F(MainWindow, OnlyAShutdownThatHappensStopsTheRun) {
  TfmMain window(::GetModuleHandleW(nullptr));
  TUpdateRun run({"test.exe"}, ui, clock, window, db);
  window.Attach(run);
  ::SendMessageW(window.Handle(), WM_QUERYENDSESSION, 0, 0);
  EXPECT_FALSE(run.State().Terminating);
  ::SendMessageW(window.Handle(), WM_ENDSESSION, FALSE, 0);  // another program vetoed the shutdown
  EXPECT_FALSE(run.State().Terminating);
  ::SendMessageW(window.Handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(run.State().Terminating);
}

// How the deferral question ended decides the window and the lines of the run.
TEST_F(MainWindow, TheDeferralAnswerDecidesTheRun) {
  struct Row {
    DeferralAnswer answer;
    bool goesOn, idleLine;
  };
  for (const Row row : {Row{DeferralAnswer::Now, true, false}, Row{DeferralAnswer::IdleReached, true, true},
                        Row{DeferralAnswer::Cancel, false, false}}) {
    SCOPED_TRACE(static_cast<int>(row.answer));
    RecordingMainView view;
    TUpdateRun run({"test.exe"}, ui, clock, view, db);
    ui.deferralAnswer = row.answer;
    EXPECT_EQ(run.ConfirmToolRun(false), row.goesOn);
    EXPECT_EQ(view.shown, row.goesOn);
    EXPECT_EQ(run.Cancelled, !row.goesOn);
    EXPECT_EQ(run.State().FailureList.Contains("유휴시간 180분 후, 툴 실행"), row.idleLine);
  }
}

// After a run that did not succeed (or was cancelled) the close steps neither start the flagged data
// tool nor open the documents.
TEST_F(MainWindow, AFailedOrCancelledRunNeitherStartsTheDataToolNorOpensDocuments) {
  const std::string tool = "D:\\CVL2000\\Tool\\VEROZ5521.exe", doc = "D:\\CVL2000\\Manual\\Update\\Guide.exe";
  for (const bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "failed");
    for (const std::string& path : {tool, doc}) {
      MakeFolders(path.substr(0, path.rfind('\\')));
      ::CopyFileW(Wide(BuildFolder() + "data_tool.exe").c_str(), Wide(path).c_str(), FALSE);
      ::DeleteFileW(Wide(path + ".log").c_str());
    }
    RecordingMainView view;
    TUpdateRun run({"test.exe"}, ui, clock, view, db);
    run.UpdateOk = cancelled;  // a cancelled run is never a deploying one, whatever the flag says
    run.Cancelled = cancelled;
    run.Pc.registeredIp = "10.0.0.9";
    run.State().DataToolList.Add(tool);
    run.State().DataToolAutoRunList.Add("1");
    run.State().OpenDocuments = true;
    run.State().OpenFileList.Add(doc);
    run.Close();
    ::Sleep(1500);  // the shell would have started the document by now
    EXPECT_FALSE(FileExists(tool + ".log"));
    EXPECT_FALSE(FileExists(doc + ".log"));
    EXPECT_EQ(view.quits, 1);
  }
}
