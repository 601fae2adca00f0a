#include "platform/Ui.h"
#include "platform/Text.h"

namespace updater {
namespace {

int Box(std::string_view text, UINT flags) {
  return ::MessageBoxW(::GetActiveWindow(), Wide(text).c_str(), L"업데이트", flags | MB_TOPMOST);
}

class MessageBoxUi final : public Ui {
 public:
  void Information(std::string_view text) override { Box(text, MB_OK | MB_ICONINFORMATION); }
  void Error(std::string_view text) override { Box(text, MB_OK | MB_ICONERROR); }
  bool Confirm(std::string_view text) override { return Box(text, MB_YESNO | MB_ICONQUESTION) == IDYES; }
};

}  // namespace

Ui& Win32Ui() {
  static MessageBoxUi ui;
  return ui;
}

}  // namespace updater
