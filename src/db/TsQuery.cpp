#include "db/TsQuery.h"

namespace updater {

std::unique_ptr<TtsQuery> CreateQuery() { return nullptr; }

}  // namespace updater
