#include "env/NetworkIdentity.h"

namespace updater {

// The PCINFO look-up needs the database layer, which is not built yet: no address is registered.
std::string RegisteredLocalAddress(TtsQuery* /*query*/) { return {}; }

}  // namespace updater
