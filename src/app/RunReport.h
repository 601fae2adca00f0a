#pragma once
// The run report: a one-line summary of the run's failures, posted once at the end of the run to
// the maker's web service, with this PC's identity and public address.
#include <string>

#include "db/ClinicTables.h"
#include "db/TsQuery.h"
#include "platform/Clock.h"

namespace updater {

// The public address of this PC from the echo page; empty without internet or on any error.
std::string ExternalIp(const Database& db);

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
bool SendRunReport(TtsQuery& query, Clock& clock, const PcIdentity& pc, const std::string& name, const std::string& text,
                   bool withProgram);

}  // namespace updater
