#pragma once
// Time seam: local time, tick counts and sleeping, so tests can drive dates and idle periods.
#include <cstdint>

namespace updater {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  virtual uint32_t TickCount() = 0;
  virtual uint32_t LastInputTick() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

Clock& SystemClock();

}  // namespace updater
