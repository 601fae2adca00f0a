#pragma once
// The run-wide lists and flags: they live from program start to program end, in this one place.
#include <string>
#include <vector>

namespace updater {

struct RunState {
  std::vector<std::string> FailureList;
  bool IsPostgresDb = false;
};

RunState& Run();

}  // namespace updater
