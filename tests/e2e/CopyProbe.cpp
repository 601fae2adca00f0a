// Deploys one file with the copy engine, as the deploy pass does; the kill test ends it at random
// moments.   copy_probe.exe SOURCE TARGET
#include <cstdio>
#include <exception>

#include "app/CopyEngine.h"
#include "db/TsQuery.h"
#include "package/Updater.h"
#include "platform/Text.h"
#include "platform/Ui.h"

namespace {

// A copy without a window answers no box.
class Silent final : public updater::Ui {
 public:
  void Information(std::string_view) override {}
  void Error(std::string_view) override {}
  bool Confirm(std::string_view) override { return false; }
  bool ConfirmUpdateNow() override { return false; }
};
class NoView final : public updater::CopyView {
 public:
  void SetFileProgress(uint64_t, uint64_t) override {}
  void ProcessMessages() override {}
  void MirrorSuccess(bool) override {}
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  Silent ui;
  updater::UseDatabaseSeams(ui, updater::SystemClock());
  updater::TUpdater updater(ui, updater::SystemClock());
  NoView view;
  try {
    const auto r = updater::FileCopyWithProgress(updater::Narrow(argv[1]), updater::Narrow(argv[2]), 0,
                                                 updater::CopyKind::Normal, updater, view);
    return r == updater::CopyResult::Copied ? 0 : 1;
  } catch (const std::exception& e) {
    std::printf("%s\n", e.what());
    return 1;
  }
}
