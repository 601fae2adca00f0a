#pragma once
// TfmMain: the one main window. Its creation prepares the run, its timer starts it, and its
// close ends the process.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/TsQuery.h"
#include "platform/Win.h"

namespace updater {

class Ui;

inline constexpr UINT kMsgSetCaption = WM_USER + 1;  // WParam: address of a UTF-8 text
inline constexpr UINT kMsgSetTopmost = WM_USER + 2;  // WParam: 0 normal, else always on top

class TfmMain {
 public:
  // Creates the window hidden with its controls, then runs FormCreate.
  TfmMain(HINSTANCE instance, std::vector<std::string> args, Ui& ui);
  ~TfmMain();  // FormDestroy
  TfmMain(const TfmMain&) = delete;
  TfmMain& operator=(const TfmMain&) = delete;

  HWND Handle() const { return hwnd_; }

  void SetRunCaption(std::string_view text);
  void ShowFileCountLabels(bool on);
  void Close();

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
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void FormCreate();
  void FormShow();
  void TimerTimer();
  void FormClose();
  void RunUpdateTools();

  HINSTANCE instance_;
  std::vector<std::string> args_;
  Ui& ui_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HBRUSH white_ = nullptr;
  Controls c_{};
  bool closing_ = false;
};

}  // namespace updater
