#pragma once
// This PC's identity on the clinic network: its names and addresses, its PCINFO rows, whether the
// internet may be used, and the run report.
#include <string>
#include <vector>

#include "db/TsQuery.h"

namespace updater {

std::string ComputerName();
// The IPv4 addresses the host name resolves to, in the resolver's order; none when it does not.
std::vector<std::string> HostAddresses();
std::string FirstHostAddress();
// The first host address that has a PCINFO row; empty when none has.
std::string RegisteredLocalAddress(TtsQuery& query);
// The PCID of every PCINFO row of one of the host addresses.
std::vector<std::string> PcIds(TtsQuery& query);
// The machine that runs the SQL Anywhere server; empty when no row.
std::string DatabaseMachineName(TtsQuery& query);
// False only when the system reports its connection state as offline, unless CVL2000.ini switches
// the check off.
bool InternetAvailable();

// Today as "YYYY-MM-DD". Making one sets the process's date formats, as the product's date object
// does.
class TMDate {
 public:
  TMDate();
  int Year() const { return year_; }
  int Month() const { return month_; }
  int Day() const { return day_; }
  std::string Text() const;

 private:
  int year_, month_, day_;
};

// Posts the one-line run report; true when skipped or accepted.
bool SendRunReport(TtsQuery& query, const std::string& name, const std::string& text, bool withProgram);

}  // namespace updater
