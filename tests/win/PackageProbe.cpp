// A stand-in update tool: pre-scans and extracts its own package while it runs, as an update run
// does, and prints what it extracted. Packed by the tests.
#include <cstdio>
#include <string>
#include <exception>
#include <vector>

#include "core/ClientFolders.h"
#include "core/RunLog.h"
#include "core/RunState.h"
#include "deploy/PackageSteps.h"
#include "platform/FileSystem.h"

#include <psapi.h>

int main(int argc, char** argv) {
  using namespace updater;
  ProcessRunLog runLog(SystemClock());
  const bool memory = argc > 1 && std::string(argv[1]) == "--memory";
  const std::string self = OwnExecutablePath();
  std::string current;
  try {
    const ToolOptions options = ScanToolOptions(self, TempFolder(), false, SystemClock());
    std::vector<TUpdateFileResource> records;
    StringList prevTools;
    const DWORD start = ::GetTickCount();
    ExtractPackage(self, CreateStagingFolder(self), prevTools, records, current);
    const DWORD took = ::GetTickCount() - start;
    std::printf("extracted %zu files, hidden %d\n", records.size(), options.hidden ? 1 : 0);
    if (memory) {
      PROCESS_MEMORY_COUNTERS pmc{};
      pmc.cb = sizeof(pmc);
      ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof(pmc));
      std::printf("extraction %lu ms\n", took);
      std::printf("peak working set %.1f MB, peak private memory %.1f MB\n", pmc.PeakWorkingSetSize / 1048576.0,
                  pmc.PeakPagefileUsage / 1048576.0);
    }
    return 0;
  } catch (const std::exception& e) {
    LogLine("LoadFileFromResource(" + self + "," + current + ") " + e.what(), true);
    std::printf("error: %s (%s)\n", e.what(), current.c_str());
    return 1;
  }
}
