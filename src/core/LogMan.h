#pragma once
// A log that appends one line per call to its own dated file, holding no file open between lines.
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace updater {

class TLogMan {
 public:
  TLogMan(Clock& clock, std::string_view baseName, bool errorKind, std::string folder);
  // Losing a line is preferred to failing the caller: write errors are swallowed.
  void Write(std::string_view title, std::string_view detail);

  const std::string& Folder() const { return folder_; }
  const std::string& Name() const { return name_; }
  const std::string& FileName() const { return fileName_; }
  bool FileExisted() const { return fileExisted_; }

 private:
  void Recompute();
  Clock& clock_;
  std::string folder_, name_, fileName_;
  bool fileExisted_ = false;
};

}  // namespace updater
