#include "dialogs/PrinterStatus.h"

namespace updater {

const std::array<PrinterStatusRow, 25>& PrinterStatusTable() {
  static const std::array<PrinterStatusRow, 25> table = {{
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
  }};
  return table;
}

uint32_t StatusWord(uint32_t status, uint32_t attributes) {
  constexpr uint32_t kWorkOffline = 0x400, kOffline = 0x80;
  return status == 0 && (attributes & kWorkOffline) ? kOffline : status;
}

std::vector<std::string> PrinterErrorTexts(uint32_t status) {
  std::vector<std::string> texts;
  for (const PrinterStatusRow& row : PrinterStatusTable())
    if (!row.ignored && (status & row.bit)) texts.emplace_back(row.text);
  return texts;
}

}  // namespace updater
