#include "platform/Clock.h"
#include "platform/Handles.h"

namespace updater {
namespace {
class Win32Clock final : public Clock {
 public:
  LocalTime Now() override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  }
  uint32_t TickCount() override { return ::GetTickCount(); }
  uint32_t LastInputTick() override {
    LASTINPUTINFO info{sizeof(info), 0};
    return ::GetLastInputInfo(&info) ? info.dwTime : ::GetTickCount();
  }
  void Sleep(uint32_t ms) override { ::Sleep(ms); }
};
}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace updater
