#pragma once
// TCheckIdleTime: measures how long the PC has had no user input, on a timer that ticks every
// 5 seconds and every second in the last minute before the idle period is reached.
#include <cstdint>

#include "platform/Clock.h"
#include "platform/Handles.h"

namespace updater {

// Seconds since the last user input; unsigned arithmetic stays right across the tick wrap.
inline uint32_t GetIdleSeconds(Clock& clock) { return (clock.TickCount() - clock.LastInputTick()) / 1000u; }

class TCheckIdleTime {
 public:
  explicit TCheckIdleTime(Clock& clock);
  ~TCheckIdleTime();
  TCheckIdleTime(const TCheckIdleTime&) = delete;
  TCheckIdleTime& operator=(const TCheckIdleTime&) = delete;

  void Start();
  void Tick();  // what each timer tick does

  uint32_t IdleMinutes = 180;  // 0 switches the check off
  uint32_t IdleSeconds = 0;
  bool IdleReached = false;
  uint32_t Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Arm();
  Clock& clock_;
  Window window_;  // message-only window that receives the timer
  uint32_t interval_ = 5000;
  bool enabled_ = false;
};

}  // namespace updater
