#pragma once
// A failed operating-system call: the call, the path it was given and the system's own text. The
// message keeps the form the run log has always shown (and the busy-file capture reads):
// Cannot create file "<path>". <system text>
#include <stdexcept>
#include <string>

#include "platform/Handles.h"

namespace updater {

class OsError : public std::runtime_error {
 public:
  OsError(std::string call, std::string path, DWORD code, const std::string& message)
      : std::runtime_error(message), call_(std::move(call)), path_(std::move(path)), code_(code) {}
  const std::string& Call() const { return call_; }
  const std::string& Path() const { return path_; }
  DWORD Code() const { return code_; }

 private:
  std::string call_, path_;
  DWORD code_;
};

// A file that could not be created (or replaced), opened, read or written.
OsError CannotCreate(const std::string& path, DWORD code);
OsError CannotOpen(const std::string& path, DWORD code);
OsError CannotRead(const std::string& path, DWORD code);
OsError CannotWrite(const std::string& path, DWORD code);

}  // namespace updater
