#include <gtest/gtest.h>

#include "core/LogFormat.h"

using namespace updater;

TEST(LogFormat, RunLogLines) {
  const LocalTime t{2025, 7, 24, 14, 5, 9, 0};
  EXPECT_EQ(FormatRunLogLine(t, "업데이트 종료"), "2025-07-24, 14:05:09 업데이트 종료");
  EXPECT_EQ(FormatRunLogLine(t, ""), "");  // a paragraph break has no time stamp
  EXPECT_EQ(DateStampYymmdd(t), "250724");
  EXPECT_EQ(DateStampYymmdd(LocalTime{2100, 1, 2}), "000102");
  EXPECT_EQ(FileTimeStamp(LocalTime{2025, 7, 24, 10, 15, 30}), "20250724_101530");
}

TEST(LogFormat, LogManLines) {
  const LocalTime t{2025, 7, 24, 9, 8, 7, 0};
  EXPECT_EQ(FormatLogManLine(t, "Open", "timeout"), "09:08:07 → Open: timeout");
  EXPECT_EQ(FormatLogManLine(t, "Open", ""), "09:08:07 → Open");
  EXPECT_EQ(FormatLogManLine(t, "", "timeout"), "09:08:07 : timeout");
}
