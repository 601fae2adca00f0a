#pragma once
// The check before a report is printed, and TfmWarningMsgForPrinterError, the dialog that explains
// a printer in an error state and offers the recovery steps or another printer.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/Printers.h"
#include "platform/Clock.h"
#include "platform/Form.h"
#include "platform/Ui.h"

namespace updater {

// What the check needs of the report about to be printed; the print path is outside this program.
class PrintReport {
 public:
  virtual ~PrintReport() = default;
  virtual bool UsesDefaultPrinter() const = 0;
  // The report's printer as a position in ListPrinters().
  virtual int PrinterIndex() const = 0;
  virtual void SetPrinterIndex(int index) = 0;
};

// What the dialogs work with: the module holding their pictures, message boxes, time, the spooler.
struct DialogContext {
  HINSTANCE resources;
  Ui& ui;
  Clock& clock;
  PrintSpooler& spooler;
};

// True when printing may go on: the printer has no error, or the user chose another printer (the
// report then prints there). An error inside the check lets the print go on.
bool PrinterPreCheck(PrintReport& report, DialogContext& context);

class TfmWarningMsgForPrinterError final : public Form {
 public:
  enum ControlId : int {
    kBtnPrintAgain = IDOK,
    kBtnClose = IDCANCEL,
    kBtnResumePrinter = 101,
    kBtnRestartSpool,
    kCmbPrinterList,
    kFirstLink,  // the four support page links follow in order
  };
  static const std::array<const char*, 4> kSupportPages;

  explicit TfmWarningMsgForPrinterError(DialogContext& context);
  ~TfmWarningMsgForPrinterError() override;

  // The printer in trouble, what is wrong with it, and every other printer to choose from.
  void ShowPrinter(const std::string& name, const std::vector<std::string>& problems);
  // Shows the dialog modally; true when it closed with "변경 후 출력".
  bool Execute();
  // The chosen printer's position in the full printer list; -1 when none is chosen.
  int ChosenIndex() const;
  // Opens a support page; the shell's "open" unless a test replaces it.
  std::function<void(const std::string& address)> OpenPage;

  void btnRestartSpoolClick();
  void btnResumePrinterClick();

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void MessageFailed(UINT msg, const std::string& what) override;
  void CreateControls();

  DialogContext& context_;
  std::vector<std::string> printers_;  // the full list, as the report counts positions
  std::string printerName_;
  Font titleFont_ = MakeFont(11, FW_BOLD), boldFont_ = MakeFont(9, FW_BOLD), linkFont_ = MakeFont(9, FW_NORMAL, true);
  HWND lblPrinterName_ = nullptr, lblProblems_ = nullptr, lblReboot_ = nullptr, lblTryOther_ = nullptr;
  HWND cmbPrinterList_ = nullptr, btnPrintAgain_ = nullptr;
  std::array<HWND, 4> links_{};
  bool ok_ = false;
};

}  // namespace updater
