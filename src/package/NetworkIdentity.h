#pragma once
// This PC's identity on the clinic network: its names and addresses, its PCINFO rows, whether the
// internet may be used, and the run report.
#include <string>
#include <vector>

#include "db/TsQuery.h"
#include "platform/Clock.h"

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

// The public address of this PC from the echo page; empty without internet or on any error.
std::string ExternalIp();

// A date as "YYYY-MM-DD", today by the clock given.
class TMDate {
 public:
  explicit TMDate(Clock& clock);
  int Year() const { return year_; }
  int Month() const { return month_; }
  int Day() const { return day_; }
  std::string Text() const;

 private:
  int year_, month_, day_;
};

// The last day a run report is sent: the later one for the 4th and 6th of the product's programs.
std::string ReportCutOffDate(const std::string& executableName);
// The report's form body, in the system's code page: "yoyangNum=" + name + "&barType=" + value,
// the name cut to 50 bytes and the value to 2000, never inside a double-byte character.
std::string RunReportBody(const std::string& name, const std::string& value);
// Posts the one-line run report; true when skipped (no internet, after the cut-off date, on
// PostgreSQL, nothing to say) or accepted ("+OK").
bool SendRunReport(TtsQuery& query, Clock& clock, const std::string& name, const std::string& text, bool withProgram);

}  // namespace updater
