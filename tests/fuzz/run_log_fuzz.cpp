// Any bytes as a run log: the reader never fails, never hangs on a line that repeats a form's
// literals, and every run it answers starts at a line of the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "RunLogReading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const updater::toolpack::LogFileRead read = updater::toolpack::ReadRunLog("fuzz.log", bytes);
  for (const updater::toolpack::RunRecord& run : read.runs) {
    if (run.firstLine == 0 || run.firstLine > read.lines) std::abort();
    run.EndState();
    run.HowStarted();
  }
  return 0;
}
