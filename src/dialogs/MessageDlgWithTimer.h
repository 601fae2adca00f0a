#pragma once
// TfmMessageDlgWithTimer: tells the user the print spooler is being reset; it cannot be closed
// until its seconds have run out.
#include <string>

#include "platform/Clock.h"
#include "platform/Form.h"

namespace updater {

class TfmMessageDlgWithTimer final : public Form {
 public:
  // resources: the module that holds the picture "IDI_MEASTERISK" (the program itself).
  TfmMessageDlgWithTimer(HINSTANCE resources, Clock& clock);
  ~TfmMessageDlgWithTimer() override;

  // Shows the dialog modally and returns when it is closed.
  void ShowCountdown(int seconds);
  std::string LabelText() const;
  HWND CloseButton() const { return btnClose_; }

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void MessageFailed(UINT msg, const std::string& what) override;
  void ShowRemaining();
  void Timer1Timer();
  void Paint();

  Clock& clock_;
  Bitmap picture_;
  HWND label1_ = nullptr, btnClose_ = nullptr;
  int remaining_ = 0;
  uint32_t lastSecond_ = 0;  // the clock's tick of the last counted second
};

}  // namespace updater
