// The printer status table row by row, and what a status word says before a report prints.
#include <gtest/gtest.h>

#include "dialogs/PrinterStatus.h"

using namespace updater;

namespace {

struct Row {
  uint32_t bit;
  bool ignored;
  const char* text;
};
// The table as the warning must read it, in its order.
const Row kRows[] = {
    {0x200, true, "프린터가 사용 중입니다."},
    {0x400000, false, "프린터 문이 열려 있습니다."},
    {0x2, false, "프린터가 오류 상태에 있습니다."},
    {0x8000, true, "프린터가 초기화되는 중입니다."},
    {0x100, true, "프린터가 활성 입력/출력 상태입니다."},
    {0x20, true, "프린터가 수동 피드 상태입니다."},
    {0x40000, false, "프린터의 토너가 떨어졌습니다."},
    {0x1000, false, "프린터를 인쇄할 수 없습니다."},
    {0x80, false, "프린터가 오프라인 상태입니다."},
    {0x200000, false, "프린터 메모리가 부족합니다."},
    {0x800, true, "프린터의 출력함이 꽉 찼습니다."},
    {0x80000, false, "User 프린터에서 현재 페이지를 인쇄할 수 없습니다."},
    {0x8, false, "프린터에 용지가 걸려 있습니다."},
    {0x10, false, "프린터가 용지가 부족합니다."},
    {0x40, false, "프린터에 용지 문제가 있습니다."},
    {0x1, false, "프린터가 일시 중지되었습니다."},
    {0x4, false, "프린터가 삭제되고 있습니다."},
    {0x1000000, true, "프린터가 절전 모드에 있습니다."},
    {0x400, true, "프린터가 인쇄되고 있습니다."},
    {0x4000, true, "프린터가 인쇄 작업을 처리하고 있습니다."},
    {0x800000, false, "프린터 상태를 알 수 없습니다."},
    {0x20000, true, "프린터가 토너가 부족합니다."},
    {0x100000, false, "프린터에 사용자가 작업을 수행해야 하는 오류가 있습니다."},
    {0x2000, true, "프린터가 대기 중입니다."},
    {0x10000, true, "프린터가 예열 중입니다."},
};

}  // namespace

TEST(PrinterStatus, EachBitAloneGivesItsTextUnlessIgnored) {
  ASSERT_EQ(PrinterStatusTable().size(), std::size(kRows));
  uint32_t ignored = 0, all = 0;
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    SCOPED_TRACE(row.text);
    EXPECT_EQ(PrinterStatusTable()[i].bit, row.bit);
    EXPECT_EQ(PrinterStatusTable()[i].ignored, row.ignored);
    EXPECT_EQ(PrinterStatusTable()[i].text, row.text);
    EXPECT_EQ(PrinterErrorTexts(row.bit), row.ignored ? std::vector<std::string>{} : std::vector<std::string>{row.text});
    if (row.ignored) ignored |= row.bit;
    EXPECT_EQ(all & row.bit, 0u) << "a bit listed twice";
    all |= row.bit;
  }
  EXPECT_EQ(all, 0x1FFFFFFu);  // the 25 status bits, each once
  EXPECT_TRUE(PrinterErrorTexts(0).empty());
  EXPECT_TRUE(PrinterErrorTexts(ignored).empty()) << "busy, printing, warming up and the like together still print";
}

TEST(PrinterStatus, SeveralBitsGiveTheirTextsInTableOrder) {
  // Offline with paper out and busy: the table's order, the busy bit left out.
  EXPECT_EQ(PrinterErrorTexts(0x80 | 0x10 | 0x200), (std::vector<std::string>{"프린터가 오프라인 상태입니다.", "프린터가 용지가 부족합니다."}));
  // A printer that is not there reads with every bit set: every error text, in order.
  std::vector<std::string> every;
  for (const Row& row : kRows)
    if (!row.ignored) every.push_back(row.text);
  EXPECT_EQ(PrinterErrorTexts(0xFFFFFFFFu), every);
  EXPECT_EQ(every.size(), 14u);
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
