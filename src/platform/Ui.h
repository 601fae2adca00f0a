#pragma once
// Modal UI seam: message boxes go through this, so scenario tests can answer them.
#include <string_view>

namespace updater {

class Ui {
 public:
  virtual ~Ui() = default;
  virtual void Information(std::string_view text) = 0;
  virtual void Error(std::string_view text) = 0;
  virtual bool Confirm(std::string_view text) = 0;  // Yes: true
};

Ui& Win32Ui();

}  // namespace updater
