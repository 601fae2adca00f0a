#include "platform/Messages.h"

#include "platform/Handles.h"

namespace updater {

void ProcessPendingMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {  // leave it for the message loop
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void SleepProcessingMessages(Clock& clock, uint32_t milliseconds) {
  for (uint32_t slept = 0; slept < milliseconds;) {
    ProcessPendingMessages();
    const uint32_t step = milliseconds - slept < 100 ? milliseconds - slept : 100;
    clock.Sleep(step);
    slept += step;
  }
  ProcessPendingMessages();
}

void BroadcastEnvironmentChange() {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
}

}  // namespace updater
