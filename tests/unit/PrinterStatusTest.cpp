// What the printer status table must guarantee before a report prints: every status bit of the
// printing API once, with a text that names that bit's condition, errors apart from states that
// may print, and the offline rule.
#include <gtest/gtest.h>

#include <set>

#include "dialogs/PrinterStatus.h"

using namespace updater;

namespace {

// The printing API's status bits with the word of the condition each must name. The text itself
// is the table's; a text that landed on another bit misses its word.
struct Meaning {
  uint32_t bit;
  const char* api;
  const char* word;
};
const Meaning kMeanings[] = {
    {0x1, "PAUSED", "일시 중지"},           {0x2, "ERROR", "오류 상태"},          {0x4, "PENDING_DELETION", "삭제"},
    {0x8, "PAPER_JAM", "걸려"},             {0x10, "PAPER_OUT", "용지가 부족"},   {0x20, "MANUAL_FEED", "수동 피드"},
    {0x40, "PAPER_PROBLEM", "용지 문제"},   {0x80, "OFFLINE", "오프라인"},        {0x100, "IO_ACTIVE", "입력/출력"},
    {0x200, "BUSY", "사용 중"},             {0x400, "PRINTING", "인쇄되고"},      {0x800, "OUTPUT_BIN_FULL", "출력함"},
    {0x1000, "NOT_AVAILABLE", "인쇄할 수 없습니다"}, {0x2000, "WAITING", "대기"}, {0x4000, "PROCESSING", "처리"},
    {0x8000, "INITIALIZING", "초기화"},     {0x10000, "WARMING_UP", "예열"},      {0x20000, "TONER_LOW", "토너가 부족"},
    {0x40000, "NO_TONER", "토너가 떨어"},   {0x80000, "PAGE_PUNT", "현재 페이지"}, {0x100000, "USER_INTERVENTION", "사용자가"},
    {0x200000, "OUT_OF_MEMORY", "메모리"},  {0x400000, "DOOR_OPEN", "문이 열려"}, {0x800000, "SERVER_UNKNOWN", "알 수 없습니다"},
    {0x1000000, "POWER_SAVE", "절전"},
};
// States in which a report may still print: busy, printing, warming up and the like.
constexpr uint32_t kMayPrint = 0x100 | 0x200 | 0x400 | 0x800 | 0x2000 | 0x4000 | 0x8000 | 0x10000 | 0x20000 | 0x20 | 0x1000000;

}  // namespace

TEST(PrinterStatus, EveryBitHasOneRowNamingItsCondition) {
  ASSERT_EQ(PrinterStatusTable().size(), std::size(kMeanings));
  std::set<uint32_t> seen;
  for (const Meaning& m : kMeanings) {
    SCOPED_TRACE(m.api);
    int rows = 0;
    for (const PrinterStatusRow& row : PrinterStatusTable()) {
      if (row.bit != m.bit) continue;
      ++rows;
      EXPECT_NE(row.text.find(m.word), std::string_view::npos) << row.text;
      EXPECT_EQ(row.ignored, (kMayPrint & m.bit) != 0);
      // Alone, the bit gives its own text, or nothing when the printer may print.
      EXPECT_EQ(PrinterErrorTexts(m.bit), row.ignored ? std::vector<std::string>{} : std::vector<std::string>{std::string(row.text)});
    }
    EXPECT_EQ(rows, 1);
    seen.insert(m.bit);
  }
  EXPECT_EQ(seen.size(), 25u);
  EXPECT_TRUE(PrinterErrorTexts(0).empty());
  EXPECT_TRUE(PrinterErrorTexts(kMayPrint).empty());
}

TEST(PrinterStatus, TextsComeInTableOrder) {
  // Offline with paper out and busy: offline comes first in the table, busy is left out.
  EXPECT_EQ(PrinterErrorTexts(0x80 | 0x10 | 0x200), (std::vector<std::string>{"프린터가 오프라인 상태입니다.", "프린터가 용지가 부족합니다."}));
  // A printer that is not there reads with every bit set: every error text, in table order.
  std::vector<std::string> every;
  for (const PrinterStatusRow& row : PrinterStatusTable())
    if (!row.ignored) every.emplace_back(row.text);
  EXPECT_EQ(PrinterErrorTexts(0xFFFFFFFFu), every);
  EXPECT_EQ(every.size(), 14u);
  EXPECT_EQ(every.front(), "프린터 문이 열려 있습니다.");
  EXPECT_EQ(every.back(), "프린터에 사용자가 작업을 수행해야 하는 오류가 있습니다.");
}

TEST(PrinterStatus, AnIdlePrinterMarkedOfflineReadsAsOffline) {
  struct Case { uint32_t status, attributes, word; };
  const Case cases[] = {
      {0, 0x400, 0x80},           // idle and "work offline": offline
      {0, 0x440, 0x80},           // with other attributes beside it
      {0, 0x040, 0},              // idle and online
      {0x10, 0x400, 0x10},        // a status of its own is kept as it is
      {0x200, 0x400, 0x200},
  };
  for (const Case& c : cases) EXPECT_EQ(StatusWord(c.status, c.attributes), c.word) << std::hex << c.status << " " << c.attributes;
}
