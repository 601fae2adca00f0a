#pragma once
// TfmMain: the one main window. Its creation prepares the run, its timer starts it, and its
// close ends the process.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/CheckIdleTime.h"
#include "app/Passes.h"
#include "db/TsQuery.h"
#include "platform/Clock.h"
#include "platform/Pictures.h"
#include "platform/Handles.h"

namespace updater {

class Ui;

inline constexpr UINT kMsgSetCaption = WM_USER + 1;  // WParam: address of a UTF-8 text
inline constexpr UINT kMsgSetTopmost = WM_USER + 2;  // WParam: 0 normal, else always on top

class TfmMain final : public PassView {
 public:
  // Creates the window hidden with its controls, then runs FormCreate.
  TfmMain(HINSTANCE instance, std::vector<std::string> args, Ui& ui, Clock& clock = SystemClock());
  ~TfmMain() override;  // FormDestroy
  TfmMain(const TfmMain&) = delete;
  TfmMain& operator=(const TfmMain&) = delete;

  HWND Handle() const { return window_.Get(); }

  void SetRunCaption(std::string_view text);
  void Close();

  // The run's view of the window.
  void SetFileProgress(uint64_t position, uint64_t maximum) override;
  void ProcessMessages() override;
  void MirrorSuccess(bool ok) override { UpdateOk = ok; }
  void ShowFileCountLabels(bool on) override;
  void ShowStatus(const std::string& text) override;
  void ShowCurrentFile(int position, const std::string& fileName, const std::string& sizeText) override;
  bool HasTotalProgress() const override { return totalProgressSet_; }
  void StepTotalProgress() override;

  void RunUpdateTools();
  bool ConfirmToolRun(bool runNow);
  void PrepareToolProgress(const std::string& toolPath, size_t fileCount);
  void SetTotalProgress(int position);
  void RelaunchCaller(const std::string& program);

  // Window state read by the run and by the close steps.
  std::unique_ptr<TtsQuery> Query;
  std::string CallerProgram;
  std::string UserId;
  bool UpdateOk = false;
  bool Cancelled = false;
  std::string LocalAddress;
  bool IsTool08 = false;

 private:
  struct Controls {
    HWND PanMain, ImgTarvex, PanFileStatus, LabUpdateFileName, LabTotalFiles, LabTotalFilesDesc, LabCurrentFileIndex,
        LabCurrentFileIndexDesc, PanProgress, LabCurrentStatus, ProgressCurrent, LabTotalStatus, ProgressTotal,
        PanCurrentFileStatus, LabFileName, EdFileName, LabFileSize, EdFileSize, BtnOK;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void FormCreate();
  void FormShow();
  void TimerTimer();
  void FormClose();
  void ShowMainWindow();

  HINSTANCE instance_;
  std::vector<std::string> args_;
  Ui& ui_;
  Clock& clock_;
  bool totalProgressSet_ = false;
  uint64_t progressMax_ = UINT64_MAX, progressShown_ = UINT64_MAX;
  std::unique_ptr<TCheckIdleTime> checkIdleTime_;
  Bitmap banner_;  // the one idle monitor of the process
  Window window_;
  Font font_;
  Controls c_{};
  bool closing_ = false;
};

}  // namespace updater
