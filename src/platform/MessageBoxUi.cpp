#include "platform/Text.h"
#include "platform/Ui.h"

namespace updater {
namespace {

int Box(std::string_view text, UINT flags) {
  return ::MessageBoxW(::GetActiveWindow(), Wide(text).c_str(), L"업데이트", flags | MB_TOPMOST);
}

}  // namespace

void MessageBoxUi::Information(std::string_view text) { Box(text, MB_OK | MB_ICONINFORMATION); }
void MessageBoxUi::Error(std::string_view text) { Box(text, MB_OK | MB_ICONERROR); }
bool MessageBoxUi::Confirm(std::string_view text) { return Box(text, MB_YESNO | MB_ICONQUESTION) == IDYES; }

}  // namespace updater
