#include "package/NetworkIdentity.h"

namespace updater {

// Stub until the PCINFO look-up is built: no address is registered.
std::string RegisteredLocalAddress(TtsQuery* /*query*/) { return {}; }

}  // namespace updater

namespace updater {

// Stub until the HTTP report is built: nothing is posted.
bool SendRunReport(TtsQuery*, const std::string&, const std::string&, bool) { return true; }

}  // namespace updater
