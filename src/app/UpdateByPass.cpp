#include "app/UpdateByPass.h"

#include "core/RunState.h"
#include "core/RunLog.h"
#include "platform/Text.h"

namespace updater {
namespace {
constexpr wchar_t kClass[] = L"TfmUpdateByPass";
constexpr UINT_PTR kOwnTimer = 1;
constexpr int kWidth = 392, kHeight = 135;
}  // namespace

TfmUpdateByPass::TfmUpdateByPass(HINSTANCE instance, TCheckIdleTime& checkIdleTime) : Form(instance), idle_(checkIdleTime) {
  picture_ = LoadJpegResource(instance_, L"QUESTION");
  okGlyph_ = LoadBitmapResource(instance_, L"BTN_OK");
  cancelGlyph_ = LoadBitmapResource(instance_, L"BTN_CANCEL");
  // The picture drags the dialog.
  CreateForm(kClass, "업데이트질문", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWidth, kHeight,
             ::LoadCursorW(nullptr, IDC_SIZEALL));
  font_ = MakeFont(8, FW_BOLD);
  auto button = [&](int id, int left, HBITMAP glyph, const char* text) {
    HWND b = AddControl(L"BUTTON", text, WS_TABSTOP | (glyph ? BS_BITMAP : 0), left, 99, 83, 26, id);
    if (glyph) ::SendMessageW(b, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(glyph));
    return b;
  };
  btnOk_ = button(IDOK, 215, okGlyph_.Get(), "확인");
  btnCancel_ = button(IDCANCEL, 301, cancelGlyph_.Get(), "취소");
  // The panels exist and are kept up to date, but stay hidden: the picture says it all.
  auto panel = [&](int left, int top, int width) {
    HWND p = AddControl(L"STATIC", "", SS_CENTER, left, top, width, 26);
    ::ShowWindow(p, SW_HIDE);
    return p;
  };
  panIdleTime_ = panel(294, 4, 90);
  panIdleTimeSetValue_ = panel(199, 4, 90);
  panExecuteRemainTime_ = panel(16, 99, 121);
}

TfmUpdateByPass::~TfmUpdateByPass() {
  if (window_) ::KillTimer(window_.Get(), kOwnTimer);
  DestroyForm();  // while the pictures it shows still exist
}

void TfmUpdateByPass::SetPanel(HWND panel, std::string& store, const std::string& text) {
  store = text;
  ::SetWindowTextW(panel, Wide(text).c_str());
}

void TfmUpdateByPass::FormShow() {
  SetPanel(panIdleTime_, idleText_, "유휴시간 0초");
  SetPanel(panIdleTimeSetValue_, setValueText_, "유휴설정 " + std::to_string(idle_.IdleMinutes) + "분");
  SetPanel(panExecuteRemainTime_, remainText_, "0 초 후 자동실행");
  ::SetTimer(window_.Get(), kOwnTimer, 1000, nullptr);
  idle_.Start();
}

void TfmUpdateByPass::TimerTick() {
  SetPanel(panIdleTime_, idleText_, "유휴시간 " + std::to_string(idle_.IdleSeconds) + "초");
  const int64_t remain = int64_t{idle_.IdleMinutes} * 60 - int64_t{idle_.IdleSeconds};
  SetPanel(panExecuteRemainTime_, remainText_, std::to_string(remain) + " 초 후 자동실행");
  if (idle_.IdleReached) {
    ::KillTimer(window_.Get(), kOwnTimer);
    Finish(DeferralAnswer::IdleReached);
  }
}

void TfmUpdateByPass::Finish(DeferralAnswer answer) {
  answer_ = answer;
  EndModal();
}

DeferralAnswer TfmUpdateByPass::Execute() {
  answer_ = DeferralAnswer::Cancel;
  FormShow();
  ShowModal();
  ::KillTimer(window_.Get(), kOwnTimer);
  return answer_;
}

void TfmUpdateByPass::MessageFailed(UINT msg, const std::string& what) {
  LogLine("    " + BracketedErrorText("WindowMessage(" + std::to_string(msg) + ")", what), true);
}

LRESULT TfmUpdateByPass::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window_.Get(), &ps);
      DrawPicture(dc, picture_.Get(), {0, 0, kWidth, kHeight});
      ::EndPaint(window_.Get(), &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:  // drag by the picture, as by a caption bar
      ::ReleaseCapture();
      ::SendMessageW(window_.Get(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return 0;
    case WM_TIMER:
      if (wp == kOwnTimer) TimerTick();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) Finish(LOWORD(wp) == IDOK ? DeferralAnswer::Now : DeferralAnswer::Cancel);
      return 0;
    case WM_CLOSE:  // any other way of closing counts as Cancel
      Finish(DeferralAnswer::Cancel);
      return 0;
    default:
      return Form::OnMessage(msg, wp, lp);
  }
}

}  // namespace updater
