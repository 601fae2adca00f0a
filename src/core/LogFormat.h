#pragma once
// Line and file-name formats of the run log and of TLogMan. Pure.
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace updater {

std::string DateStampYymmdd(const LocalTime& t);          // "250724"
std::string RunLogTimeStamp(const LocalTime& t);          // "2025-07-24, 14:05:09"
std::string FileTimeStamp(const LocalTime& t);            // "20250724_101530"
// Non-empty text gets the time stamp and a blank; empty text stays an empty line.
std::string FormatRunLogLine(const LocalTime& t, std::string_view text);
// "hh:mm:ss → title: detail"; without title "hh:mm:ss : detail".
std::string FormatLogManLine(const LocalTime& t, std::string_view title, std::string_view detail);

}  // namespace updater
