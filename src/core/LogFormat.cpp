#include "core/LogFormat.h"

#include <cstdio>

namespace updater {

std::string DateStampYymmdd(const LocalTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", t.year % 100, t.month, t.day);
  return buf;
}

std::string RunLogTimeStamp(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d, %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

std::string FileTimeStamp(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

std::string FormatRunLogLine(const LocalTime& t, std::string_view text) {
  if (text.empty()) return {};
  return RunLogTimeStamp(t) + " " + std::string(text);
}

std::string FormatLogManLine(const LocalTime& t, std::string_view title, std::string_view detail) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  std::string line = buf;
  line += title.empty() ? " " : " → ";
  line += title;
  if (!detail.empty()) line += ": " + std::string(detail);
  return line;
}

}  // namespace updater
