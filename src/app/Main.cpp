#include "app/Main.h"

#include <commctrl.h>

#include "core/RunState.h"
#include "core/RunLog.h"
#include "core/PathText.h"
#include "platform/Messages.h"
#include "platform/Pictures.h"
#include "platform/Text.h"

namespace updater {
namespace {

constexpr wchar_t kWindowClass[] = L"TfmMain";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr UINT_PTR kStartTimer = 1;
constexpr int kClientWidth = 338, kClientHeight = 328;

// Panels paint white and draw their bevel; they hand label colours to their children.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(hwnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      if (::GetWindowLongPtrW(hwnd, GWLP_USERDATA)) ::DrawEdge(reinterpret_cast<HDC>(wp), &r, BDR_SUNKENINNER, BF_RECT);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
      ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_COMMAND:
      return ::SendMessageW(::GetParent(hwnd), msg, wp, lp);
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPanelClass;
  ::RegisterClassExW(&wc);
}

}  // namespace

TfmMain::TfmMain(HINSTANCE instance) : Form(instance) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  RegisterClasses(instance_);
  // Fixed single border, caption without any title-bar buttons, always on top, centred.
  CreateForm(kWindowClass, "업데이트", WS_POPUP | WS_CAPTION | WS_BORDER | WS_CLIPCHILDREN, WS_EX_TOPMOST | WS_EX_APPWINDOW,
             kClientWidth, kClientHeight, nullptr, ::LoadIconW(instance_, L"MAINICON"));
  CreateControls();
}

TfmMain::~TfmMain() {
  DestroyForm();  // while every member is still alive for the last messages
}

void TfmMain::CreateControls() {
  auto make = [&](HWND parent, const wchar_t* cls, const char* text, DWORD style, int x, int y, int w, int h, DWORD ex = 0) {
    HWND c = ::CreateWindowExW(ex, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                               instance_, nullptr);
    ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    return c;
  };
  auto panel = [&](HWND parent, int x, int y, int w, int h, bool bevel) {
    HWND p = make(parent, kPanelClass, "", WS_CLIPCHILDREN, x, y, w, h);
    ::SetWindowLongPtrW(p, GWLP_USERDATA, bevel ? 1 : 0);
    return p;
  };
  auto label = [&](HWND parent, const char* text, int x, int y, int w = 0) {
    return make(parent, WC_STATICW, text, SS_LEFT | SS_NOPREFIX, x, y, w ? w : 325 - x, 16);
  };

  c_.PanMain = panel(window_.Get(), 0, 0, kClientWidth, kClientHeight, false);
  c_.ImgTarvex = make(c_.PanMain, WC_STATICW, "", SS_BITMAP | SS_REALSIZECONTROL, 0, 0, kClientWidth, 81);
  banner_ = LoadJpegResource(instance_, L"BANNER");
  if (banner_) ::SendMessageW(c_.ImgTarvex, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner_.Get()));
  c_.PanFileStatus = panel(c_.PanMain, 1, 78, 335, 41, true);
  c_.LabUpdateFileName = label(c_.PanFileStatus, "", 15, 16);
  ::ShowWindow(c_.LabUpdateFileName, SW_HIDE);
  c_.LabTotalFiles = label(c_.PanFileStatus, "xx", 43, 16, 36);
  c_.LabTotalFilesDesc = label(c_.PanFileStatus, "개 파일중 ", 80, 17, 80);
  c_.LabCurrentFileIndex = label(c_.PanFileStatus, "xx", 164, 16, 35);
  c_.LabCurrentFileIndexDesc = label(c_.PanFileStatus, "번 째 파일 진행중...", 200, 16);
  c_.PanProgress = panel(c_.PanMain, 1, 125, 335, 97, true);
  c_.LabCurrentStatus = label(c_.PanProgress, "현재파일 진행상황", 9, 4);
  c_.ProgressCurrent = make(c_.PanProgress, PROGRESS_CLASSW, "", 0, 9, 23, 320, 17);
  c_.LabTotalStatus = label(c_.PanProgress, "전체파일 진행상황", 9, 54);
  c_.ProgressTotal = make(c_.PanProgress, PROGRESS_CLASSW, "", 0, 9, 73, 320, 17);
  ::SendMessageW(c_.ProgressCurrent, PBM_SETSTEP, 1, 0);
  ::SendMessageW(c_.ProgressTotal, PBM_SETSTEP, 1, 0);
  c_.PanCurrentFileStatus = panel(c_.PanMain, 1, 228, 335, 61, true);
  c_.LabFileName = label(c_.PanCurrentFileStatus, "현 진행 파일 이름", 9, 8);
  c_.EdFileName = make(c_.PanCurrentFileStatus, WC_EDITW, "", ES_AUTOHSCROLL | WS_DISABLED, 9, 27, 176, 23, WS_EX_CLIENTEDGE);
  c_.LabFileSize = label(c_.PanCurrentFileStatus, "파일 크기", 232, 8);
  c_.EdFileSize = make(c_.PanCurrentFileStatus, WC_EDITW, "", ES_AUTOHSCROLL | WS_DISABLED, 208, 27, 121, 23, WS_EX_CLIENTEDGE);
  c_.BtnOK = make(c_.PanMain, WC_BUTTONW, "확인", BS_PUSHBUTTON | WS_DISABLED, 260, 297, 75, 25);
}

void TfmMain::SetRunCaption(std::string_view text) { ::SetWindowTextW(window_.Get(), Wide(text).c_str()); }

void TfmMain::ShowFileCountLabels(bool on) {
  const int show = on ? SW_SHOW : SW_HIDE;
  for (HWND h : {c_.LabTotalFilesDesc, c_.LabCurrentFileIndexDesc, c_.LabTotalFiles, c_.LabCurrentFileIndex}) ::ShowWindow(h, show);
  ::ShowWindow(c_.LabUpdateFileName, on ? SW_HIDE : SW_SHOW);
}

void TfmMain::TimerTimer() {
  ::KillTimer(window_.Get(), kStartTimer);
  if (run_) run_->RunUpdateTools();
}

void TfmMain::StartRunTimer() { ::SetTimer(window_.Get(), kStartTimer, 100, nullptr); }

void TfmMain::HideMainWindow() { ::ShowWindow(window_.Get(), SW_HIDE); }

void TfmMain::Quit() { ::PostQuitMessage(0); }

void TfmMain::FormShow() { ::SetWindowTextW(c_.LabUpdateFileName, L""); }

void TfmMain::ShowMainWindow() {
  ::ShowWindow(window_.Get(), SW_SHOWNORMAL);
  ::UpdateWindow(window_.Get());
  ProcessPendingMessages();
}

void TfmMain::SetFileProgress(uint64_t position, uint64_t maximum) {
  // The bar counts in ints: large files move it in KiB. It is redrawn only when it visibly moves:
  // repainting after every block would cost more than the copy itself.
  const int shift = maximum > 0x7FFFFFFF ? 10 : 0;
  if (maximum != progressMax_) {
    progressMax_ = maximum;
    progressShown_ = UINT64_MAX;
    ::SendMessageW(c_.ProgressCurrent, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum >> shift));
  }
  const uint64_t step = maximum / 200 + 1;
  if (progressShown_ == UINT64_MAX || position == maximum || position >= progressShown_ + step || position < progressShown_) {
    progressShown_ = position;
    ::SendMessageW(c_.ProgressCurrent, PBM_SETPOS, static_cast<WPARAM>(position >> shift), 0);
  }
}

void TfmMain::ProcessMessages() { ProcessPendingMessages(); }

void TfmMain::ShowStatus(const std::string& text) { ::SetWindowTextW(c_.LabUpdateFileName, Wide(text).c_str()); }

void TfmMain::ShowCurrentFile(int position, const std::string& fileName, const std::string& sizeText) {
  ::SetWindowTextW(c_.LabCurrentFileIndex, std::to_wstring(position).c_str());
  ::SetWindowTextW(c_.EdFileName, Wide(fileName).c_str());
  ::SetWindowTextW(c_.EdFileSize, Wide(sizeText).c_str());
}

void TfmMain::PrepareToolProgress(const std::string& toolPath, size_t fileCount) {
  SetRunCaption("업데이트 " + FileNamePart(toolPath));
  ::SendMessageW(c_.ProgressTotal, PBM_SETRANGE32, 0, static_cast<LPARAM>(fileCount));
  ::SetWindowTextW(c_.LabTotalFiles, std::to_wstring(fileCount).c_str());
}

void TfmMain::StepTotalProgress() {
  ::SendMessageW(c_.ProgressTotal, PBM_STEPIT, 0, 0);
  ProcessPendingMessages();
}

void TfmMain::SetTotalProgress(int position) { ::SendMessageW(c_.ProgressTotal, PBM_SETPOS, static_cast<WPARAM>(position), 0); }

void TfmMain::MessageFailed(UINT msg, const std::string& what) {
  LogLine("    " + BracketedErrorText("WindowMessage(" + std::to_string(msg) + ")", what), true);
}

LRESULT TfmMain::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kStartTimer) TimerTimer();
      return 0;
    case WM_SHOWWINDOW:
      if (wp) FormShow();
      break;
    case WM_CLOSE:  // no title-bar buttons; only the run closes the window
      return 0;
    case WM_ENDSESSION:
      // Only a shutdown that really happens stops the run; a query that another program vetoes
      // (or WM_ENDSESSION with FALSE) must leave it running, or a tool would end half deployed.
      if (wp && run_) run_->SessionEnding();
      break;
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lp) == c_.BtnOK && HIWORD(wp) == BN_CLICKED && run_) run_->Close();
      return 0;
    case kMsgSetCaption:
      if (wp) SetRunCaption(reinterpret_cast<const char*>(wp));
      ProcessPendingMessages();
      return 0;
    case kMsgSetTopmost:
      ::SetWindowPos(window_.Get(), wp ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      ProcessPendingMessages();
      return 0;
    default:
      break;
  }
  return Form::OnMessage(msg, wp, lp);
}

}  // namespace updater
