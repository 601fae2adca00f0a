// A stand-in update tool: pre-scans and extracts its own package while it runs, as an update run
// does, and prints what it extracted. Packed by the tests.
#include <cstdio>
#include <exception>
#include <vector>

#include "app/RunLog.h"
#include "env/ClientFolders.h"
#include "package/Package.h"
#include "package/RunState.h"
#include "platform/Win.h"

int main() {
  using namespace updater;
  const std::string self = OwnExecutablePath();
  std::string current;
  try {
    ScanToolOptions(self, TempFolder(), true, false);
    std::vector<TUpdateFileResource> records;
    ExtractPackage(self, CreateStagingFolder(self), records, current);
    std::printf("extracted %zu files, hidden %d\n", records.size(), Run().HiddenRun ? 1 : 0);
    return 0;
  } catch (const std::exception& e) {
    LogLine("LoadFileFromResource(" + self + "," + current + ") " + e.what(), true);
    std::printf("error: %s (%s)\n", e.what(), current.c_str());
    return 1;
  }
}
