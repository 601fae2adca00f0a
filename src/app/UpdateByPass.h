#pragma once
// TfmUpdateByPass: the borderless question shown before an update that must close programs in
// use. OK starts now, Cancel ends the run; with no user input for the idle period it accepts.
#include <memory>
#include <string>

#include "app/CheckIdleTime.h"
#include "core/RunLog.h"
#include "platform/Form.h"
#include "platform/Pictures.h"
#include "platform/Ui.h"

namespace updater {

class TfmUpdateByPass final : public Form {
 public:
  TfmUpdateByPass(HINSTANCE instance, TCheckIdleTime& checkIdleTime);
  ~TfmUpdateByPass() override;

  // Shows the dialog modally: OK, the idle check, or Cancel (any other way of closing).
  DeferralAnswer Execute();
  // What the three hidden panels say.
  std::string IdleTimeText() const { return idleText_; }
  std::string RemainTimeText() const { return remainText_; }

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void MessageFailed(UINT msg, const std::string& what) override;
  void FormShow();
  void TimerTick();
  void Finish(DeferralAnswer answer);
  void SetPanel(HWND panel, std::string& store, const std::string& text);

  TCheckIdleTime& idle_;
  HWND btnOk_ = nullptr, btnCancel_ = nullptr;  // children: destroyed with the window
  HWND panIdleTime_ = nullptr, panIdleTimeSetValue_ = nullptr, panExecuteRemainTime_ = nullptr;
  Bitmap picture_, okGlyph_, cancelGlyph_;
  std::string idleText_, setValueText_, remainText_;
  DeferralAnswer answer_ = DeferralAnswer::Cancel;
};

// The program's Ui: message boxes, and this dialog for the deferral question.
class DesktopUi final : public MessageBoxUi {
 public:
  DesktopUi(HINSTANCE instance, TCheckIdleTime& checkIdleTime) : instance_(instance), idle_(checkIdleTime) {}
  // Every box may hold the run for long: the run log is saved before it shows.
  void Information(std::string_view text) override {
    SaveRunLog();
    MessageBoxUi::Information(text);
  }
  void Error(std::string_view text) override {
    SaveRunLog();
    MessageBoxUi::Error(text);
  }
  bool Confirm(std::string_view text) override {
    SaveRunLog();
    return MessageBoxUi::Confirm(text);
  }
  DeferralAnswer ConfirmUpdateNow() override {
    SaveRunLog();
    TfmUpdateByPass dialog(instance_, idle_);
    return dialog.Execute();
  }

 private:
  HINSTANCE instance_;
  TCheckIdleTime& idle_;
};

}  // namespace updater
