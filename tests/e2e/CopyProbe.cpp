// Deploys one file with the copy engine, as the deploy pass does; the kill test ends it at random
// moments.   copy_probe.exe SOURCE TARGET
#include <cstdio>
#include <exception>

#include "core/RunLog.h"
#include "deploy/CopyEngine.h"
#include "platform/Text.h"

namespace {

class NoView final : public updater::CopyView {
 public:
  void SetFileProgress(uint64_t, uint64_t) override {}
  void ProcessMessages() override {}
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  updater::ProcessRunLog runLog(updater::SystemClock());
  updater::RunState run;
  NoView view;
  try {
    const auto r = updater::FileCopyWithProgress(updater::Narrow(argv[1]), updater::Narrow(argv[2]), 0,
                                                 updater::CopyKind::Normal, run, view);
    return r == updater::CopyResult::Copied ? 0 : 1;
  } catch (const std::exception& e) {
    std::printf("%s\n", e.what());
    return 1;
  }
}
