#include "core/RunState.h"

namespace updater {

RunState& Run() {
  static RunState state;
  return state;
}

}  // namespace updater
