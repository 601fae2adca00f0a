#pragma once
// One HTTP request through the system's client (WinINet), bounded in time: a server that accepts
// and never answers delays the caller by the time-outs, never more.
#include <cstdint>
#include <string>

namespace updater {

// Connect, send and receive time-out of every request. A report that takes longer than a few
// seconds is not worth holding up the end of an update for.
inline constexpr uint32_t kHttpTimeoutMs = 5000;

// GET (empty body) or POST (with the content type); answers the response body as bytes. Throws
// OsError when the request fails or does not finish within twice the time-out, whatever the
// system's client does with its own.
std::string HttpRequest(const std::string& url, const std::string& contentType = {}, const std::string& body = {});

}  // namespace updater
