#include "app/CheckIdleTime.h"

#include <exception>

namespace updater {
namespace {
constexpr wchar_t kClass[] = L"TCheckIdleTime";
constexpr UINT_PTR kTimer = 1;
}  // namespace

TCheckIdleTime::TCheckIdleTime(Clock& clock) : clock_(clock) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassExW(&wc);
  window_.Reset(::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
  ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TCheckIdleTime::~TCheckIdleTime() {
  enabled_ = false;
  IdleSeconds = 0;
  IdleReached = false;
  window_.Reset();
}

void TCheckIdleTime::Start() {
  enabled_ = true;
  Arm();
}

void TCheckIdleTime::Arm() {
  if (enabled_) ::SetTimer(window_.Get(), kTimer, interval_, nullptr);
  else ::KillTimer(window_.Get(), kTimer);
}

void TCheckIdleTime::Tick() {
  IdleSeconds = GetIdleSeconds(clock_);
  if (IdleMinutes != 0) interval_ = IdleSeconds > (IdleMinutes - 1) * 60 ? 1000 : 5000;
  if (IdleMinutes != 0 && IdleSeconds >= IdleMinutes * 60) {
    enabled_ = false;
    IdleReached = true;
  }
  Arm();
}

LRESULT CALLBACK TCheckIdleTime::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TCheckIdleTime*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_TIMER && wp == kTimer && self) {
    try {
      self->Tick();
    } catch (const std::exception&) {
      // A tick that cannot read the clock is skipped: the next one asks again.
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace updater
