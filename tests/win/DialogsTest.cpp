// The spooler notice and the printer error warning, on Wine's printing API and service manager,
// driven through the clock seam and by clicks from a timer on the test's own thread.
#include <gtest/gtest.h>

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
