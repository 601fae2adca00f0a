#include "app/UpdateByPass.h"

#include "core/RunState.h"
#include "platform/Text.h"

namespace updater {
namespace {
constexpr wchar_t kClass[] = L"TfmUpdateByPass";
constexpr UINT_PTR kOwnTimer = 1;
constexpr int kWidth = 392, kHeight = 135;
}  // namespace

TfmUpdateByPass::TfmUpdateByPass(HINSTANCE instance, TCheckIdleTime& checkIdleTime) : instance_(instance), idle_(checkIdleTime) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_SIZEALL);  // the picture drags the dialog
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClass;
  ::RegisterClassExW(&wc);
  picture_ = LoadJpegResource(instance_, L"QUESTION");
  okGlyph_ = LoadBitmapResource(instance_, L"BTN_OK");
  cancelGlyph_ = LoadBitmapResource(instance_, L"BTN_CANCEL");

  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  // The window procedure takes ownership of the handle while the window is being created.
  ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClass, L"업데이트질문", WS_POPUP | WS_CLIPCHILDREN, x, y, kWidth,
                            kHeight, nullptr, nullptr, instance_, this);
  HDC screen = ::GetDC(nullptr);
  font_.Reset(::CreateFontW(-::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"맑은 고딕"));
  ::ReleaseDC(nullptr, screen);
  auto button = [&](int id, int left, HBITMAP glyph, const wchar_t* text) {
    HWND b = ::CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | (glyph ? BS_BITMAP : 0), left, 99, 83, 26,
                               window_.Get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (glyph) ::SendMessageW(b, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(glyph));
    ::SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return b;
  };
  btnOk_ = button(IDOK, 215, okGlyph_.Get(), L"확인");
  btnCancel_ = button(IDCANCEL, 301, cancelGlyph_.Get(), L"취소");
  // The panels exist and are kept up to date, but stay hidden: the picture says it all.
  auto panel = [&](int left, int top, int width) {
    return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_CENTER, left, top, width, 26, window_.Get(), nullptr, instance_, nullptr);
  };
  panIdleTime_ = panel(294, 4, 90);
  panIdleTimeSetValue_ = panel(199, 4, 90);
  panExecuteRemainTime_ = panel(16, 99, 121);
}

TfmUpdateByPass::~TfmUpdateByPass() {
  if (window_) ::KillTimer(window_.Get(), kOwnTimer);
  window_.Reset();  // while the pictures it shows still exist
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
    Run().FailureList.Add("유휴시간 180분 후, 툴 실행");
    Finish(true);
  }
}

void TfmUpdateByPass::Finish(bool ok) {
  ok_ = ok;
  done_ = true;
  ::ShowWindow(window_.Get(), SW_HIDE);
}

bool TfmUpdateByPass::Execute() {
  done_ = ok_ = false;
  ::ShowWindow(window_.Get(), SW_SHOWNORMAL);
  ::SetForegroundWindow(window_.Get());
  FormShow();
  MSG msg;
  while (!done_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {  // the application is ending: leave the quit for the main loop
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!::IsDialogMessageW(window_.Get(), &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  ::KillTimer(window_.Get(), kOwnTimer);
  return ok_;
}

LRESULT CALLBACK TfmUpdateByPass::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TfmUpdateByPass*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window_.Reset(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TfmUpdateByPass*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->OnMessage(hwnd, msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TfmUpdateByPass::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window_.Get(), &ps);
      if (picture_) {
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, picture_.Get());
        BITMAP bm{};
        ::GetObjectW(picture_.Get(), sizeof bm, &bm);
        ::StretchBlt(dc, 0, 0, kWidth, kHeight, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
      }
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
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) Finish(LOWORD(wp) == IDOK);
      return 0;
    case WM_CLOSE:  // any other way of closing counts as Cancel
      Finish(false);
      return 0;
    case WM_DESTROY:
      window_.Release();
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace updater
