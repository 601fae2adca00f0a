#include "dialogs/WarningMsgForPrinterError.h"

#include <stdexcept>

#include "core/RunState.h"
#include "core/RunLog.h"
#include "core/PathText.h"
#include "dialogs/MessageDlgWithTimer.h"
#include "dialogs/PrinterStatus.h"
#include "platform/Text.h"

#include <shellapi.h>

namespace updater {
namespace {
constexpr wchar_t kClass[] = L"TfmWarningMsgForPrinterError";
constexpr int kWidth = 520, kHeight = 492;
constexpr COLORREF kRed = RGB(0xC0, 0x1C, 0x1C), kBlue = RGB(0x12, 0x55, 0xA8);
}  // namespace

const std::array<const char*, 4> TfmWarningMsgForPrinterError::kSupportPages = {
    "https://www.samsungsvc.co.kr/", "https://support.hp.com/kr-ko/", "https://www.canon-ci.co.kr/support/",
    "https://www.epson.co.kr/support/"};

bool PrinterPreCheck(PrintReport& report, DialogContext& context) {
  try {
    std::string name;
    if (report.UsesDefaultPrinter()) {
      name = DefaultPrinterName();
    } else {
      const std::vector<std::string> printers = ListPrinters();
      name = printers.at(static_cast<size_t>(report.PrinterIndex()));
    }
    const std::vector<std::string> problems = PrinterErrorTexts(GetPrinterStatusWord(name));
    if (problems.empty()) return true;
    TfmWarningMsgForPrinterError form(context);
    form.ShowPrinter(name, problems);
    if (!form.Execute()) return false;
    report.SetPrinterIndex(form.ChosenIndex());
    return true;
  } catch (const std::exception&) {
    return true;  // a check that fails must not stop a print: the print path then prints
  }
}

TfmWarningMsgForPrinterError::TfmWarningMsgForPrinterError(DialogContext& context)
    : Form(context.resources), context_(context) {
  OpenPage = [](const std::string& address) {
    ::ShellExecuteW(nullptr, L"open", Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  };
  CreateForm(kClass, "프린터 장애 처리", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, kWidth, kHeight);
  CreateControls();
  printers_ = ListPrinters();
  for (const std::string& p : printers_) ::SendMessageW(cmbPrinterList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(p).c_str()));
}

TfmWarningMsgForPrinterError::~TfmWarningMsgForPrinterError() { DestroyForm(); }

void TfmWarningMsgForPrinterError::CreateControls() {
  auto label = [&](const std::string& text, int x, int y, int w, HFONT font = nullptr) {
    return AddControl(L"STATIC", text, SS_LEFT | SS_NOPREFIX, x, y, w, 20, 0, font);
  };
  label(" 프린터에 장애가 발생했습니다.", 16, 12, 488, titleFont_.Get());
  label("아래와 같이 시도해보세요.", 16, 40, 488);
  lblPrinterName_ = label("", 16, 62, 488, boldFont_.Get());
  lblProblems_ = label("", 16, 82, 488);

  label("1.    프린터 전원선 및 LAN케이블 재연결, 프린터 전원 ON/OFF", 16, 114, 488);
  label("2.    \"일시정지 해제\" 버튼을 클릭하여 프린터 일시정지 상태 해제", 16, 144, 380);
  AddControl(L"BUTTON", "일시정지 해제", WS_TABSTOP, 400, 140, 104, 26, kBtnResumePrinter);
  label("3.    \"대기문서 삭제\" 버튼을 클릭하여 프린터 스풀 재시작 후 출력 시도", 16, 174, 380);
  AddControl(L"BUTTON", "대기문서 삭제", WS_TABSTOP, 400, 170, 104, 26, kBtnRestartSpool);
  lblReboot_ = label("※ 위 순서대로 진행하였으나 출력 안 되는 경우 PC 재부팅", 16, 204, 488);

  AddControl(L"BUTTON", "", BS_GROUPBOX, 12, 230, 496, 160);
  label("위 사항을 모두 확인 후 지속적으로 출력이 되지 않는 경우", 28, 248, 464);
  label("프린터 제조사로 연락하여 주시기 바랍니다.", 28, 268, 464);
  const char* makers[4] = {"■ 삼성전자 서비스", "■ HP 프린터 서비스", "■ 캐논 코리아 서비스", "■ 앱손 프린터 서비스"};
  for (int i = 0; i < 4; ++i) {
    label(makers[i], 40, 296 + 22 * i, 200);
    links_[static_cast<size_t>(i)] =
        AddControl(L"STATIC", "바로가기", SS_LEFT | SS_NOTIFY, 250, 296 + 22 * i, 80, 20, kFirstLink + i, linkFont_.Get());
  }

  label("다른 프린터로 선택", 16, 406, 130);
  cmbPrinterList_ = AddControl(L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 150, 402, 354, 200, kCmbPrinterList);
  lblTryOther_ = label("※ 다른 프린터로 변경 후 다시 출력을 시도해보세요.", 16, 432, 488);
  btnPrintAgain_ = AddControl(L"BUTTON", "변경 후 출력", WS_TABSTOP | BS_DEFPUSHBUTTON, 296, 456, 100, 28, kBtnPrintAgain);
  AddControl(L"BUTTON", "닫기", WS_TABSTOP, 404, 456, 100, 28, kBtnClose);
}

void TfmWarningMsgForPrinterError::ShowPrinter(const std::string& name, const std::vector<std::string>& problems) {
  printerName_ = name;
  ::SetWindowTextW(lblPrinterName_, Wide(name).c_str());
  // What is wrong, beside the name: the user sees why the print stopped.
  std::string joined;
  for (const std::string& p : problems) joined += (joined.empty() ? "" : " ") + p;
  ::SetWindowTextW(lblProblems_, Wide(joined).c_str());
  ::SendMessageW(cmbPrinterList_, CB_RESETCONTENT, 0, 0);
  for (const std::string& p : printers_)
    if (!EqualsIgnoreCase(p, name)) ::SendMessageW(cmbPrinterList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(p).c_str()));
  ::SendMessageW(cmbPrinterList_, CB_SETCURSEL, 0, 0);
  // With no other printer there is nothing to change to.
  ::EnableWindow(btnPrintAgain_, ::SendMessageW(cmbPrinterList_, CB_GETCOUNT, 0, 0) > 0);
}

bool TfmWarningMsgForPrinterError::Execute() {
  ok_ = false;
  ShowModal();
  return ok_;
}

int TfmWarningMsgForPrinterError::ChosenIndex() const {
  const LRESULT at = ::SendMessageW(cmbPrinterList_, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return -1;
  wchar_t text[512] = {};
  if (::SendMessageW(cmbPrinterList_, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0) >= 512) return -1;
  ::SendMessageW(cmbPrinterList_, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
  const std::string chosen = Narrow(text);
  for (size_t i = 0; i < printers_.size(); ++i)
    if (printers_[i] == chosen) return static_cast<int>(i);
  return -1;
}

void TfmWarningMsgForPrinterError::btnRestartSpoolClick() {
  HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  ::EnableWindow(window_.Get(), FALSE);  // no second click while the spooler restarts
  PrintSpooler& s = context_.spooler;
  const bool ok = s.PurgePrinterJobs(printerName_) && s.StopSpooler() && s.StartSpooler();
  ::EnableWindow(window_.Get(), TRUE);
  ::SetCursor(old);
  if (ok) {
    TfmMessageDlgWithTimer notice(context_.resources, context_.clock);
    notice.ShowCountdown(10);
    context_.ui.Information("프린터 스풀 재설정에 성공했습니다.");
  } else {
    context_.ui.Information("프린터 스풀 재설정에 실패했습니다.");
  }
}

void TfmWarningMsgForPrinterError::btnResumePrinterClick() { context_.spooler.ResumePrinter(printerName_); }

void TfmWarningMsgForPrinterError::MessageFailed(UINT msg, const std::string& what) {
  LogLine("    " + BracketedErrorText("WindowMessage(" + std::to_string(msg) + ")", what), true);
}

LRESULT TfmWarningMsgForPrinterError::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == kBtnPrintAgain || id == kBtnClose) {
        if (id == kBtnPrintAgain && !::IsWindowEnabled(btnPrintAgain_)) return 0;
        ok_ = id == kBtnPrintAgain;
        EndModal();
      } else if (id == kBtnRestartSpool && HIWORD(wp) == BN_CLICKED) {
        btnRestartSpoolClick();
      } else if (id == kBtnResumePrinter && HIWORD(wp) == BN_CLICKED) {
        btnResumePrinterClick();
      } else if (id >= kFirstLink && id < kFirstLink + 4 && HIWORD(wp) == STN_CLICKED) {
        OpenPage(kSupportPages[static_cast<size_t>(id - kFirstLink)]);
      }
      return 0;
    }
    case WM_CLOSE:
      ok_ = false;
      EndModal();
      return 0;
    case WM_SETCURSOR:
      for (HWND link : links_)
        if (reinterpret_cast<HWND>(wp) == link) {
          ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      return Form::OnMessage(msg, wp, lp);
    case WM_CTLCOLORSTATIC: {
      const HWND control = reinterpret_cast<HWND>(lp);
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkMode(dc, TRANSPARENT);
      bool link = false;
      for (HWND l : links_) link = link || l == control;
      if (link || control == lblPrinterName_) ::SetTextColor(dc, kBlue);
      else if (control == lblProblems_ || control == lblReboot_ || control == lblTryOther_) ::SetTextColor(dc, kRed);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
      return Form::OnMessage(msg, wp, lp);
  }
}

}  // namespace updater
