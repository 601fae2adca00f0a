#include "core/LogMan.h"

#include "core/LogFormat.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace updater {

TLogMan::TLogMan(Clock& clock, std::string_view baseName, bool errorKind, std::string folder)
    : clock_(clock), folder_(std::move(folder)), name_(std::string(baseName) + (errorKind ? "ErrLog" : "Log")) {
  Recompute();
}

void TLogMan::Recompute() {
  fileName_ = folder_ + name_ + DateStampYymmdd(clock_.Now()) + ".log";
  fileExisted_ = FileExists(fileName_);
}

void TLogMan::Write(std::string_view title, std::string_view detail) {
  Recompute();
  AppendToFile(fileName_, ToAnsi(FormatLogManLine(clock_.Now(), title, detail)) + "\r\n", fileExisted_);
}

}  // namespace updater
