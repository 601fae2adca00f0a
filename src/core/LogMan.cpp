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
  UniqueHandle file(::CreateFileW(Wide(fileName_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  fileExisted_ ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = ToAnsi(FormatLogManLine(clock_.Now(), title, detail)) + "\r\n";
  DWORD written = 0;
  ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace updater
