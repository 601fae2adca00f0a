// The spooler notice and the printer error warning, on Wine's printing API and service manager,
// driven through the clock seam and by clicks from a timer on the test's own thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "Harness.h"
#include "dialogs/MessageDlgWithTimer.h"
#include "dialogs/Printers.h"
#include "dialogs/WarningMsgForPrinterError.h"
#include "platform/Pictures.h"
#include "platform/Text.h"

#include <winspool.h>

using namespace updater;
using namespace updater::test;

namespace {

// Runs a step on this thread every 20 ms while a modal dialog handles messages; a step answers
// false when it is done. After a minute it destroys every window of ours, so a test cannot hang.
class Stepper {
 public:
  explicit Stepper(std::function<bool()> step) : step_(std::move(step)) {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 20, Tick);
  }
  ~Stepper() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  int Steps() const { return steps_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Stepper* self = current_;
    if (!self || self->done_) return;
    if (++self->steps_ > 3000) {
      for (const wchar_t* cls : {L"TfmMessageDlgWithTimer", L"TfmWarningMsgForPrinterError"})
        if (HWND w = ::FindWindowW(cls, nullptr)) ::DestroyWindow(w);
      self->done_ = true;
      return;
    }
    self->done_ = !self->step_();
  }
  static inline Stepper* current_ = nullptr;
  std::function<bool()> step_;
  UINT_PTR timer_ = 0;
  int steps_ = 0;
  bool done_ = false;
};

std::string WindowText(HWND w) {
  wchar_t text[512] = {};
  ::GetWindowTextW(w, text, 512);
  return Narrow(text);
}

// The program's own module, for the pictures of its dialogs.
HMODULE ProgramResources() {
  static HMODULE module = ::LoadLibraryExW(Wide(BuildFolder() + "UpdateTool.exe").c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  return module;
}

// A clock that runs 400 ms each time it is read: a ten-second notice ends in a blink.
class FastClock final : public Clock {
 public:
  LocalTime Now() override { return {2025, 7, 24, 14, 5, 9, 0}; }
  uint32_t TickCount() override { return tick += 400; }
  uint32_t LastInputTick() override { return tick; }
  void Sleep(uint32_t ms) override { slept += ms; }
  uint32_t tick = 1000, slept = 0;
};

// Clicks the notice's button as soon as it can be clicked.
bool CloseNoticeWhenAllowed() {
  HWND notice = ::FindWindowW(L"TfmMessageDlgWithTimer", nullptr);
  if (!notice || !::IsWindowVisible(notice)) return true;
  HWND button = ::GetDlgItem(notice, IDOK);
  if (!::IsWindowEnabled(button)) return true;
  ::SendMessageW(button, BM_CLICK, 0, 0);
  return false;
}

}  // namespace

TEST(TimedNotice, CountsDownByTheClockAndClosesOnlyAtZero) {
  ASSERT_NE(ProgramResources(), nullptr);
  const Bitmap picture = LoadBitmapResource(ProgramResources(), L"IDI_MEASTERISK");
  ASSERT_TRUE(picture);
  BITMAP bm{};
  ::GetObjectW(picture.Get(), sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 48);
  EXPECT_EQ(bm.bmHeight, 48);

  FakeClock clock;
  TfmMessageDlgWithTimer dialog(ProgramResources(), clock);
  EXPECT_EQ(WindowText(dialog.Handle()), "스풀 재실행 안내");
  EXPECT_TRUE(::GetWindowLongW(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(::GetWindowLongW(dialog.Handle(), GWL_STYLE) & WS_SYSMENU);  // no border icons
  std::vector<std::pair<std::string, bool>> seen;
  Stepper stepper([&] {
    const std::string label = dialog.LabelText();
    const bool usable = ::IsWindowEnabled(dialog.CloseButton());
    if (!seen.empty() && seen.back().first == label) {
      if (!usable) return true;
      ::SendMessageW(dialog.CloseButton(), BM_CLICK, 0, 0);
      return false;
    }
    seen.emplace_back(label, usable);
    if (seen.size() == 4) SaveScreenshot("timed_notice");
    if (!usable) {  // every way out is refused while it counts
      ::SendMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
      ::SendMessageW(dialog.Handle(), WM_COMMAND, IDCANCEL, 0);
      ::SendMessageW(dialog.Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(dialog.CloseButton()));
    }
    clock.tick += 1000;
    return true;
  });
  dialog.ShowCountdown(10);
  ASSERT_EQ(seen.size(), 11u);
  for (int i = 0; i < 11; ++i) {
    const int remaining = 10 - i;
    EXPECT_EQ(seen[static_cast<size_t>(i)].first,
              "스풀 재설정중입니다.\r\n이 창은 " + std::to_string(remaining) + "초 뒤에 닫을 수 있습니다.");
    EXPECT_EQ(seen[static_cast<size_t>(i)].second, remaining == 0) << remaining;
  }
  EXPECT_FALSE(::IsWindowVisible(dialog.Handle()));
}

TEST(TimedNotice, ALateTimerCatchesUpWithTheClock) {
  FakeClock clock;
  TfmMessageDlgWithTimer dialog(ProgramResources(), clock);
  std::vector<std::string> seen;
  Stepper stepper([&] {
    const std::string label = dialog.LabelText();
    if (!seen.empty() && seen.back() == label) return CloseNoticeWhenAllowed();
    seen.push_back(label);
    clock.tick += seen.size() == 1 ? 3500 : 1000;  // three and a half seconds pass between two timer messages
    return true;
  });
  dialog.ShowCountdown(5);
  std::vector<std::string> counts;
  for (const std::string& label : seen) counts.push_back(label.substr(label.find("이 창은 ") + 11, 1));
  EXPECT_EQ(counts, (std::vector<std::string>{"5", "2", "1", "0"}));
}

namespace {

// Printers of the tests' own in Wine's spooler: the PostScript driver with a small PPD, then the
// printers. Wine lists them but opens none, so a test sets their state in the registry, which its
// printing API reads, and removes them at the end.
class TestPrinters {
 public:
  static constexpr const char* kNames[3] = {"Front Desk", "Reception Laser", "진료실 프린터"};
  TestPrinters() {
    wchar_t dir[MAX_PATH] = {};
    DWORD needed = 0;
    ::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed);
    std::wstring ppd = std::wstring(dir) + L"\\updater-test.ppd";
    WriteFileBytes(Narrow(ppd), "*PPD-Adobe: \"4.3\"\n*ModelName: \"Test\"\n*NickName: \"Test\"\n");
    std::wstring driver = L"Wine PostScript Driver", environment = L"Windows NT x86", module = L"wineps.drv";
    DRIVER_INFO_3W d{};
    d.cVersion = 3;
    d.pName = driver.data();
    d.pEnvironment = environment.data();
    d.pDriverPath = module.data();
    d.pDataFile = ppd.data();
    d.pConfigFile = module.data();
    ::AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&d), APD_COPY_NEW_FILES);
    for (const char* name : kNames) {
      std::wstring n = Wide(name), port = L"FILE:", processor = L"WinPrint";
      PRINTER_INFO_2W info{};
      info.pPrinterName = n.data();
      info.pPortName = port.data();
      info.pDriverName = driver.data();
      info.pPrintProcessor = processor.data();
      info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
      if (HANDLE h = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info))) ::ClosePrinter(h);
      SetOffline(name, false);
    }
  }
  ~TestPrinters() {
    for (const char* name : kNames) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, Key(name).c_str());
  }
  static void SetOffline(const char* name, bool offline) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Key(name).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | (offline ? PRINTER_ATTRIBUTE_WORK_OFFLINE : 0);
    ::RegSetValueExW(key, L"Attributes", 0, REG_DWORD, reinterpret_cast<BYTE*>(&attributes), sizeof attributes);
    ::RegCloseKey(key);
  }
  static int Position(const std::string& name) {
    const std::vector<std::string> all = ListPrinters();
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i] == name) return static_cast<int>(i);
    return -1;
  }

 private:
  static std::wstring Key(const char* name) { return L"System\\CurrentControlSet\\Control\\Print\\Printers\\" + Wide(name); }
};

BOOL CALLBACK CollectText(HWND child, LPARAM out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(WindowText(child));
  return TRUE;
}

// Every text a window's children show, in creation order.
std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  ::EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> entries;
  const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(Narrow(text));
  }
  return entries;
}

class RecordingSpooler final : public PrintSpooler {
 public:
  using PrintSpooler::PrintSpooler;
  std::vector<std::string> calls;
  bool purge = true, stop = true, start = true;
  bool PurgePrinterJobs(const std::string& printer) override { return calls.push_back("purge " + printer), purge; }
  bool StopSpooler() override { return calls.push_back("stop"), stop; }
  bool StartSpooler() override { return calls.push_back("start"), start; }
  bool ResumePrinter(const std::string& printer) override { return calls.push_back("resume " + printer), true; }
};

class Report final : public PrintReport {
 public:
  bool usesDefault = false;
  int index = 0;
  bool UsesDefaultPrinter() const override { return usesDefault; }
  int PrinterIndex() const override { return index; }
  void SetPrinterIndex(int i) override { index = i; }
};

class PrinterWarning : public ::testing::Test {
 protected:
  TestPrinters printers;
  ScriptedUi ui;
  FastClock clock;
  RecordingSpooler spooler{clock};
  DialogContext context{ProgramResources(), ui, clock, spooler};
};

}  // namespace

TEST_F(PrinterWarning, StatusWordsFromWinesPrintingApi) {
  TestPrinters::SetOffline("Reception Laser", true);
  struct Row { const char* name; uint32_t word; };
  const Row rows[] = {
      {"Front Desk", 0},
      {"FRONT desk", 0},                 // names match in any letter case
      {"Reception Laser", 0x80},         // idle, marked offline
      {"진료실 프린터", 0},
      {"No Such Printer", 0xFFFFFFFFu},  // not there: every bit
      {"", 0xFFFFFFFFu},
  };
  for (const Row& row : rows) EXPECT_EQ(GetPrinterStatusWord(row.name), row.word) << row.name;
}

// The check as the print path calls it: which printer it looks at, whether the warning shows, and
// what the report is left with.
TEST_F(PrinterWarning, PreCheckShowsTheWarningOnlyForAPrinterInError) {
  TestPrinters::SetOffline("Reception Laser", true);
  ASSERT_TRUE(::SetDefaultPrinterW(L"Reception Laser"));
  ASSERT_EQ(DefaultPrinterName(), "Reception Laser");
  const int frontDesk = TestPrinters::Position("Front Desk"), laser = TestPrinters::Position("Reception Laser"),
            korean = TestPrinters::Position("진료실 프린터");
  enum class Act { None, ChooseKoreanAndPrint, Close };
  struct Row {
    const char* what;
    bool usesDefault;
    int index;
    Act act;
    bool answer;
    int indexAfter;
    const char* problem;  // a text the warning must show
  };
  const Row rows[] = {
      {"a printer without error prints", false, frontDesk, Act::None, true, frontDesk, nullptr},
      {"offline, another printer chosen", false, laser, Act::ChooseKoreanAndPrint, true, korean, "프린터가 오프라인 상태입니다."},
      {"offline, closed", false, laser, Act::Close, false, laser, "프린터가 오프라인 상태입니다."},
      {"a position past the list is an error inside the check: print", false, 99, Act::None, true, 99, nullptr},
      {"the default printer, offline", true, frontDesk, Act::Close, false, frontDesk, "프린터가 오프라인 상태입니다."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Report report;
    report.usesDefault = row.usesDefault;
    report.index = row.index;
    bool shown = false;
    std::vector<std::string> texts, choices;
    Stepper stepper([&] {
      HWND form = ::FindWindowW(L"TfmWarningMsgForPrinterError", nullptr);
      if (!form || !::IsWindowVisible(form)) return true;
      shown = true;
      texts = ChildTexts(form);
      HWND combo = ::GetDlgItem(form, TfmWarningMsgForPrinterError::kCmbPrinterList);
      choices = ComboEntries(combo);
      if (row.act == Act::ChooseKoreanAndPrint) {
        ::SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"진료실 프린터"));
        ::RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SaveScreenshot("printer_warning");
        ::SendMessageW(::GetDlgItem(form, IDOK), BM_CLICK, 0, 0);
      } else {
        ::SendMessageW(::GetDlgItem(form, IDCANCEL), BM_CLICK, 0, 0);
      }
      return false;
    });
    EXPECT_EQ(PrinterPreCheck(report, context), row.answer);
    EXPECT_EQ(shown, row.act != Act::None);
    EXPECT_EQ(report.index, row.indexAfter);
    if (!row.problem) continue;
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(row.problem) != std::string::npos; }))
        << "the warning says what is wrong";
    if (!row.usesDefault) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), "Reception Laser"), texts.end());
      EXPECT_EQ(std::count(choices.begin(), choices.end(), "Reception Laser"), 0);  // every printer but the one in error
      EXPECT_EQ(choices.size() + 1, ListPrinters().size());
    }
  }
}

TEST_F(PrinterWarning, TheFormShowsEveryTextAndOpensTheSupportPages) {
  TfmWarningMsgForPrinterError form(context);
  form.ShowPrinter("Reception Laser", {"프린터가 오프라인 상태입니다."});
  std::vector<std::string> opened;
  form.OpenPage = [&](const std::string& address) { opened.push_back(address); };
  EXPECT_EQ(WindowText(form.Handle()), "프린터 장애 처리");
  EXPECT_TRUE(::GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  const std::vector<std::string> texts = ChildTexts(form.Handle());
  for (const char* text :
       {" 프린터에 장애가 발생했습니다.", "아래와 같이 시도해보세요.", "Reception Laser",
        "1.    프린터 전원선 및 LAN케이블 재연결, 프린터 전원 ON/OFF", "2.    \"일시정지 해제\" 버튼을 클릭하여 프린터 일시정지 상태 해제",
        "3.    \"대기문서 삭제\" 버튼을 클릭하여 프린터 스풀 재시작 후 출력 시도", "※ 위 순서대로 진행하였으나 출력 안 되는 경우 PC 재부팅",
        "일시정지 해제", "대기문서 삭제", "위 사항을 모두 확인 후 지속적으로 출력이 되지 않는 경우", "프린터 제조사로 연락하여 주시기 바랍니다.",
        "■ 삼성전자 서비스", "■ HP 프린터 서비스", "■ 캐논 코리아 서비스", "■ 앱손 프린터 서비스", "다른 프린터로 선택",
        "※ 다른 프린터로 변경 후 다시 출력을 시도해보세요.", "변경 후 출력", "닫기"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "바로가기"), 4);
  for (int i = 0; i < 4; ++i) {
    HWND link = ::GetDlgItem(form.Handle(), TfmWarningMsgForPrinterError::kFirstLink + i);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(TfmWarningMsgForPrinterError::kFirstLink + i, STN_CLICKED),
                   reinterpret_cast<LPARAM>(link));
  }
  EXPECT_EQ(opened, std::vector<std::string>(TfmWarningMsgForPrinterError::kSupportPages.begin(),
                                             TfmWarningMsgForPrinterError::kSupportPages.end()));
}

// The spooler restart runs its steps in order, each only after the one before it succeeded; the
// notice counts down only after a full restart.
TEST_F(PrinterWarning, TheSpoolerRestartStopsAtTheFirstFailedStep) {
  struct Row {
    const char* what;
    bool purge, stop, start;
    std::vector<std::string> calls;
    const char* info;
  };
  const Row rows[] = {
      {"all three", true, true, true, {"purge Reception Laser", "stop", "start"}, "프린터 스풀 재설정에 성공했습니다."},
      {"purge fails", false, true, true, {"purge Reception Laser"}, "프린터 스풀 재설정에 실패했습니다."},
      {"stop fails", true, false, true, {"purge Reception Laser", "stop"}, "프린터 스풀 재설정에 실패했습니다."},
      {"start fails", true, true, false, {"purge Reception Laser", "stop", "start"}, "프린터 스풀 재설정에 실패했습니다."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    spooler.calls.clear();
    spooler.purge = row.purge;
    spooler.stop = row.stop;
    spooler.start = row.start;
    ui.infos.clear();
    TfmWarningMsgForPrinterError form(context);
    form.ShowPrinter("Reception Laser", {"프린터가 오프라인 상태입니다."});
    bool noticeShown = false;
    Stepper stepper([&] {
      noticeShown = noticeShown || ::FindWindowW(L"TfmMessageDlgWithTimer", nullptr);
      return CloseNoticeWhenAllowed();
    });
    ::SendMessageW(::GetDlgItem(form.Handle(), TfmWarningMsgForPrinterError::kBtnRestartSpool), BM_CLICK, 0, 0);
    EXPECT_EQ(spooler.calls, row.calls);
    EXPECT_EQ(ui.infos, std::vector<std::string>{row.info});
    EXPECT_EQ(noticeShown, row.start && row.stop && row.purge);
  }
  spooler.calls.clear();
  TfmWarningMsgForPrinterError form(context);
  form.ShowPrinter("Reception Laser", {});
  ::SendMessageW(::GetDlgItem(form.Handle(), TfmWarningMsgForPrinterError::kBtnResumePrinter), BM_CLICK, 0, 0);
  EXPECT_EQ(spooler.calls, std::vector<std::string>{"resume Reception Laser"});
}

// The real steps against Wine's service manager and its spooler service.
TEST(Spooler, StopsAndStartsWinesSpoolerService) {
  PrintSpooler spooler(SystemClock());
  const bool wasRunning = IsSpoolerRunning();
  struct Step { const char* what; std::function<bool()> action; bool running; };
  const Step steps[] = {
      {"start", [&] { return spooler.StartSpooler(); }, true},
      {"start while running", [&] { return spooler.StartSpooler(); }, true},
      {"stop", [&] { return spooler.StopSpooler(); }, false},
      {"stop while stopped", [&] { return spooler.StopSpooler(); }, false},
      {"start again", [&] { return spooler.StartSpooler(); }, true},
  };
  for (const Step& step : steps) {
    EXPECT_TRUE(step.action()) << step.what;
    EXPECT_EQ(IsSpoolerRunning(), step.running) << step.what;
  }
  // A printer that cannot be opened (Wine opens none of its own) is no failure.
  EXPECT_TRUE(spooler.PurgePrinterJobs("No Such Printer"));
  if (!wasRunning) spooler.StopSpooler();
}
