#include "platform/Form.h"

#include "platform/Text.h"

namespace updater {

void Form::CreateForm(const wchar_t* className, const std::string& caption, DWORD style, DWORD exStyle, int clientWidth,
                      int clientHeight, HCURSOR cursor, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance_;
  wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = icon;
  wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = className;
  ::RegisterClassExW(&wc);  // fails harmlessly when the class exists
  RECT r{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  // The window procedure takes ownership of the handle while the window is being created.
  ::CreateWindowExW(exStyle, className, Wide(caption).c_str(), style, x, y, w, h, nullptr, nullptr, instance_, this);
}

void Form::ShowModal() {
  modalDone_ = false;
  ::ShowWindow(window_.Get(), SW_SHOWNORMAL);
  ::SetForegroundWindow(window_.Get());
  MSG msg;
  while (!modalDone_ && window_) {
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
  modalDone_ = true;
}

void Form::EndModal() {
  modalDone_ = true;
  ::ShowWindow(window_.Get(), SW_HIDE);
}

LRESULT Form::OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(window_.Get(), msg, wp, lp); }

HWND Form::AddControl(const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w, int h, int id,
                      HFONT font) {
  HWND c = ::CreateWindowExW(0, windowClass, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, window_.Get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : font_.Get()), FALSE);
  return c;
}

Font Form::MakeFont(int points, int weight, bool underline) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return Font(::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"맑은 고딕"));
}

LRESULT CALLBACK Form::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window_.Reset(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {  // destroyed from outside: the form no longer owns a window
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->window_.Release();
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
  try {
    return self->OnMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    self->MessageFailed(msg, e.what());
  } catch (...) {
    self->MessageFailed(msg, "an error of unknown kind");
  }
  return 0;
}

}  // namespace updater
