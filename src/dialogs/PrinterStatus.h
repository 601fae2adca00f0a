#pragma once
// The printer status bits (the printing API's PRINTER_STATUS_ values) with their Korean texts and
// whether a bit counts as an error before a report is printed.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

struct PrinterStatusRow {
  uint32_t bit;
  bool ignored;  // busy, printing, warming up and the like are no error
  std::string_view text;
};

const std::array<PrinterStatusRow, 25>& PrinterStatusTable();

// A printer's status word from what the system reports: an idle printer marked "work offline"
// reads as offline (0x80), since the system reports no status bit for that.
uint32_t StatusWord(uint32_t status, uint32_t attributes);

// The texts of the error bits set in a status word, in table order; none when printing may go on.
std::vector<std::string> PrinterErrorTexts(uint32_t status);

}  // namespace updater
