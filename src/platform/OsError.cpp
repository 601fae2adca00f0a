#include "platform/OsError.h"

#include "platform/Text.h"

namespace updater {

OsError CannotCreate(const std::string& path, DWORD code) {
  return OsError("CreateFileW", path, code, "Cannot create file \"" + path + "\". " + SystemErrorText(code));
}

OsError CannotOpen(const std::string& path, DWORD code) {
  return OsError("CreateFileW", path, code, "Cannot open file \"" + path + "\". " + SystemErrorText(code));
}

OsError CannotRead(const std::string& path, DWORD code) {
  return OsError("ReadFile", path, code, SystemErrorText(code) + " (" + path + ")");
}

OsError CannotWrite(const std::string& path, DWORD code) {
  return OsError("WriteFile", path, code, SystemErrorText(code) + " (" + path + ")");
}

}  // namespace updater
