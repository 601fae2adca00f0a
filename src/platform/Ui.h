#pragma once
// Modal UI seam: every message box and dialog of the run goes through this, so tests can answer
// them. Only the program entry makes the real one.
#include <string_view>

namespace updater {

// How the deferral question ended.
enum class DeferralAnswer { Cancel, Now, IdleReached };

class Ui {
 public:
  virtual ~Ui() = default;
  virtual void Information(std::string_view text) = 0;
  virtual void Error(std::string_view text) = 0;
  virtual bool Confirm(std::string_view text) = 0;  // Yes: true
  // The deferral question before an update that must close programs in use: the user's OK, the
  // idle period reached, or Cancel.
  virtual DeferralAnswer ConfirmUpdateNow() = 0;
};

// Message boxes over the active window, topmost, with the caption "업데이트".
class MessageBoxUi : public Ui {
 public:
  void Information(std::string_view text) override;
  void Error(std::string_view text) override;
  bool Confirm(std::string_view text) override;
};

}  // namespace updater
