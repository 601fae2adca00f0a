#pragma once
// TfmMain: the one main window, the view of the update run. Its timer starts the run; it shows
// the run's progress and captions and hides when the run closes.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/UpdateRun.h"
#include "platform/Form.h"
#include "platform/Pictures.h"

namespace updater {

inline constexpr UINT kMsgSetCaption = WM_USER + 1;  // WParam: address of a UTF-8 text
inline constexpr UINT kMsgSetTopmost = WM_USER + 2;  // WParam: 0 normal, else always on top

class TfmMain final : public Form, public MainView {
 public:
  // Creates the window hidden with its controls; nothing else.
  explicit TfmMain(HINSTANCE instance);
  ~TfmMain() override;

  // The run that the timer starts and that a real end of the session stops.
  void Attach(TUpdateRun& run) { run_ = &run; }

  void SetRunCaption(std::string_view text) override;
  // By the user message + 2, as any program may ask.
  void SetTopmost(bool on) override { ::SendMessageW(Handle(), kMsgSetTopmost, on ? 1 : 0, 0); }
  void PrepareToolProgress(const std::string& toolPath, size_t fileCount) override;
  void SetTotalProgress(int position) override;
  void ShowMainWindow() override;
  void HideMainWindow() override;
  void StartRunTimer() override;
  void Quit() override;

  void SetFileProgress(uint64_t position, uint64_t maximum) override;
  void ProcessMessages() override;
  void ShowFileCountLabels(bool on) override;
  void ShowStatus(const std::string& text) override;
  void ShowCurrentFile(int position, const std::string& fileName, const std::string& sizeText) override;
  void StepTotalProgress() override;

 private:
  struct Controls {
    HWND PanMain, ImgTarvex, PanFileStatus, LabUpdateFileName, LabTotalFiles, LabTotalFilesDesc, LabCurrentFileIndex,
        LabCurrentFileIndexDesc, PanProgress, LabCurrentStatus, ProgressCurrent, LabTotalStatus, ProgressTotal,
        PanCurrentFileStatus, LabFileName, EdFileName, LabFileSize, EdFileSize, BtnOK;
  };

  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void MessageFailed(UINT msg, const std::string& what) override;
  void CreateControls();
  void FormShow();
  void TimerTimer();

  TUpdateRun* run_ = nullptr;
  uint64_t progressMax_ = UINT64_MAX, progressShown_ = UINT64_MAX;
  Bitmap banner_;
  Controls c_{};
};

}  // namespace updater
