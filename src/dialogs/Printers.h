#pragma once
// The installed printers and the print spooler service, as the printer error warning uses them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace updater {

// Local and connected printers, in the order the system gives them.
std::vector<std::string> ListPrinters();
// The system's default printer; empty when there is none.
std::string DefaultPrinterName();
// The status bits of the printer of that name (any letter case). An idle printer marked offline
// reads as offline (0x80); a printer that is not there has every bit set.
uint32_t GetPrinterStatusWord(const std::string& name);
bool IsSpoolerRunning();

// The recovery steps of the warning; tests replace them to see their order.
class PrintSpooler {
 public:
  explicit PrintSpooler(Clock& clock) : clock_(clock) {}
  virtual ~PrintSpooler() = default;
  // Purges the printer's queue and waits, up to ten seconds, for it to empty. A printer that
  // cannot be opened is no failure.
  virtual bool PurgePrinterJobs(const std::string& printer);
  // True once the service has stopped (or was not running).
  virtual bool StopSpooler();
  // True once the service has started (or was already running).
  virtual bool StartSpooler();
  virtual bool ResumePrinter(const std::string& printer);

 protected:
  Clock& clock_;
};

}  // namespace updater
