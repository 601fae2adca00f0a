#include "package/NetworkIdentity.h"

namespace updater {

// The PCINFO look-up needs the database layer, which is not built yet: no address is registered.
std::string RegisteredLocalAddress(TtsQuery* /*query*/) { return {}; }

}  // namespace updater

namespace updater {

// The HTTP report and its internet check are not built yet: nothing is posted.
bool SendRunReport(TtsQuery*, const std::string&, const std::string&, bool) { return true; }

}  // namespace updater
