#include "platform/Http.h"

#include <memory>

#include "platform/OsError.h"
#include "platform/Text.h"
#include "platform/Watchdog.h"

#include <wininet.h>

namespace updater {
namespace {

struct InternetTraits {
  using Type = HINTERNET;
  static Type Empty() { return nullptr; }
  static bool Valid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::InternetCloseHandle(h); }
};
using InternetHandle = UniqueResource<InternetTraits>;

OsError Failed(const char* call, const std::string& url) {
  const DWORD code = ::GetLastError();
  return OsError(call, url, code, std::string(call) + " failed for \"" + url + "\" (" + std::to_string(code) + ")");
}

std::string Request(const std::string& url, const std::string& contentType, const std::string& body) {
  InternetHandle session(::InternetOpenW(L"CorvelUpdater", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) throw Failed("InternetOpenW", url);
  DWORD timeout = kHttpTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(session.Get(), option, &timeout, sizeof timeout);
  std::wstring wurl = Wide(url);
  wchar_t host[256] = {}, path[2048] = {};
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  if (!::InternetCrackUrlW(wurl.c_str(), 0, 0, &parts)) throw Failed("InternetCrackUrlW", url);
  InternetHandle connection(::InternetConnectW(session.Get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) throw Failed("InternetConnectW", url);
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                      (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  InternetHandle request(::HttpOpenRequestW(connection.Get(), body.empty() && contentType.empty() ? L"GET" : L"POST",
                                            path[0] ? path : L"/", nullptr, nullptr, nullptr, flags, 0));
  if (!request) throw Failed("HttpOpenRequestW", url);
  const std::wstring headers = contentType.empty() ? std::wstring() : L"Content-Type: " + Wide(contentType) + L"\r\n";
  if (!::HttpSendRequestW(request.Get(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
    throw Failed("HttpSendRequestW", url);
  // An error page is no answer: its body would read as one.
  DWORD status = 0, size = sizeof status;
  if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    throw Failed("HttpQueryInfoW", url);
  if (status < 200 || status > 299)
    throw OsError("HttpRequest", url, ERROR_INTERNET_INVALID_OPERATION,
                  "\"" + url + "\" answered with HTTP status " + std::to_string(status));
  std::string answer;
  char buffer[4096];
  for (DWORD got = 0; ::InternetReadFile(request.Get(), buffer, sizeof buffer, &got) && got > 0;) {
    answer.append(buffer, got);
    if (answer.size() > (1u << 20)) break;  // an answer is a line or a small page
  }
  return answer;
}

}  // namespace

std::string HttpRequest(const std::string& url, const std::string& contentType, const std::string& body) {
  // The time-outs above bound each phase; the watchdog bounds the whole, whatever the client does.
  auto answer = std::make_shared<std::string>();
  if (!RunWithin(2 * kHttpTimeoutMs, [url, contentType, body, answer] { *answer = Request(url, contentType, body); }))
    throw OsError("HttpRequest", url, ERROR_INTERNET_TIMEOUT, "No answer from \"" + url + "\" within " +
                                                                  std::to_string(2 * kHttpTimeoutMs / 1000) + " s");
  return *answer;
}

}  // namespace updater
