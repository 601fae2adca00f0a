#include "dialogs/MessageDlgWithTimer.h"

#include "core/RunState.h"
#include "core/RunLog.h"
#include "platform/Pictures.h"
#include "platform/Text.h"

namespace updater {
namespace {
constexpr wchar_t kClass[] = L"TfmMessageDlgWithTimer";
// The seconds are counted by the clock, which the timer looks at often: on a busy PC timer
// messages come late, and a count of messages would stretch the wait.
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kPollMs = 100;
constexpr int kWidth = 330, kHeight = 112, kPicture = 48;
}  // namespace

TfmMessageDlgWithTimer::TfmMessageDlgWithTimer(HINSTANCE resources, Clock& clock) : Form(resources), clock_(clock) {
  picture_ = LoadBitmapResource(instance_, L"IDI_MEASTERISK");
  CreateForm(kClass, "스풀 재실행 안내", WS_POPUP | WS_CAPTION, WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, kWidth, kHeight);
  label1_ = AddControl(L"STATIC", "", SS_LEFT | SS_NOPREFIX, 84, 22, kWidth - 84 - 12, 40);
  btnClose_ = AddControl(L"BUTTON", "확인", WS_TABSTOP | BS_DEFPUSHBUTTON, (kWidth - 88) / 2, 74, 88, 28, IDOK);
  ::EnableWindow(btnClose_, FALSE);
}

TfmMessageDlgWithTimer::~TfmMessageDlgWithTimer() {
  if (window_) ::KillTimer(window_.Get(), kTimer1);
  DestroyForm();  // while the picture it paints still exists
}

std::string TfmMessageDlgWithTimer::LabelText() const {
  wchar_t text[256] = {};
  ::GetWindowTextW(label1_, text, 256);
  return Narrow(text);
}

void TfmMessageDlgWithTimer::ShowRemaining() {
  const std::string text = "스풀 재설정중입니다.\r\n이 창은 " + std::to_string(remaining_) + "초 뒤에 닫을 수 있습니다.";
  ::SetWindowTextW(label1_, Wide(text).c_str());
}

void TfmMessageDlgWithTimer::ShowCountdown(int seconds) {
  remaining_ = seconds;
  ShowRemaining();
  ::EnableWindow(btnClose_, remaining_ <= 0);
  lastSecond_ = clock_.TickCount();
  if (remaining_ > 0) ::SetTimer(window_.Get(), kTimer1, kPollMs, nullptr);
  ShowModal();
  ::KillTimer(window_.Get(), kTimer1);
}

void TfmMessageDlgWithTimer::Timer1Timer() {
  while (remaining_ > 0 && clock_.TickCount() - lastSecond_ >= 1000) {
    lastSecond_ += 1000;
    --remaining_;
    ShowRemaining();
  }
  if (remaining_ > 0) return;
  ::KillTimer(window_.Get(), kTimer1);
  ::EnableWindow(btnClose_, TRUE);
  ::SetFocus(btnClose_);
}

void TfmMessageDlgWithTimer::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window_.Get(), &ps);
  DrawPicture(dc, picture_.Get(), {18, 18, 18 + kPicture, 18 + kPicture}, true);
  ::EndPaint(window_.Get(), &ps);
}

void TfmMessageDlgWithTimer::MessageFailed(UINT msg, const std::string& what) {
  LogLine("    " + BracketedErrorText("WindowMessage(" + std::to_string(msg) + ")", what), true);
}

LRESULT TfmMessageDlgWithTimer::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_TIMER:
      if (wp == kTimer1) Timer1Timer();
      return 0;
    case WM_COMMAND:  // the button, or Enter; Escape and closing wait for the count too
    case WM_CLOSE:
      if (remaining_ <= 0 && (msg == WM_CLOSE || LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) EndModal();
      return 0;
    default:
      return Form::OnMessage(msg, wp, lp);
  }
}

}  // namespace updater
