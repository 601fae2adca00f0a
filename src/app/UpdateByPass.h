#pragma once
// TfmUpdateByPass: the borderless question shown before an update that must close programs in
// use. OK starts now, Cancel ends the run; with no user input for the idle period it accepts.
#include <memory>
#include <string>

#include "app/CheckIdleTime.h"
#include "platform/Handles.h"
#include "platform/Pictures.h"
#include "platform/Ui.h"

namespace updater {

class TfmUpdateByPass {
 public:
  TfmUpdateByPass(HINSTANCE instance, TCheckIdleTime& checkIdleTime);
  ~TfmUpdateByPass();
  TfmUpdateByPass(const TfmUpdateByPass&) = delete;
  TfmUpdateByPass& operator=(const TfmUpdateByPass&) = delete;

  // Shows the dialog modally; true when it closed with OK (the button or the idle check).
  bool Execute();
  HWND Handle() const { return window_.Get(); }
  // What the three hidden panels say.
  std::string IdleTimeText() const { return idleText_; }
  std::string RemainTimeText() const { return remainText_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void FormShow();
  void TimerTick();
  void Finish(bool ok);
  void SetPanel(HWND panel, std::string& store, const std::string& text);

  HINSTANCE instance_;
  TCheckIdleTime& idle_;
  Window window_;
  HWND btnOk_ = nullptr, btnCancel_ = nullptr;  // children: destroyed with the window
  HWND panIdleTime_ = nullptr, panIdleTimeSetValue_ = nullptr, panExecuteRemainTime_ = nullptr;
  Bitmap picture_, okGlyph_, cancelGlyph_;
  Font font_;
  std::string idleText_, setValueText_, remainText_;
  bool done_ = false, ok_ = false;
};

// The program's Ui: message boxes, and this dialog for the deferral question.
class DesktopUi final : public MessageBoxUi {
 public:
  DesktopUi(HINSTANCE instance, TCheckIdleTime& checkIdleTime) : instance_(instance), idle_(checkIdleTime) {}
  bool ConfirmUpdateNow() override {
    TfmUpdateByPass dialog(instance_, idle_);
    return dialog.Execute();
  }

 private:
  HINSTANCE instance_;
  TCheckIdleTime& idle_;
};

}  // namespace updater
