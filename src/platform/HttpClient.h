#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

// HTTP(S) GET through libcurl, one easy handle per request. Redirects are followed; TLS peer
// and host verification are always on; every request carries "User-Agent: Tallowin/<version>".
// Only https is used, for the first request and every redirect, except plain http to a loopback
// address when the URL asked for is itself http on loopback (local test servers and mirrors).
namespace HttpClient {

struct Response {
    long status = 0;  // the final response's HTTP status
    std::string body; // the whole body
};

// A small answer held in memory (release JSON, an update feed). Fails after totalTimeout.
// Throws NetworkError (libcurl's message) for any transfer failure, including a refused scheme;
// OperationCancelled when the stop token is triggered during the transfer.
Response get(const std::string& url,
             const std::vector<std::string>& headers,
             std::chrono::seconds totalTimeout,
             std::stop_token stopToken = {});

// Streams the body to destination (created or truncated) and returns the final HTTP status; the
// body is never held in memory. fraction(written / total) is called as data arrives, only when
// the server gave a length; it may be called from the transferring thread. Fails after a 60 s
// connect time-out or idleTimeout without data. A body longer than maximumBytes (by its
// announced length, or by the bytes counted as they arrive when there is none) stops the
// transfer with BodyTooLarge; what was written stays in destination for the caller to remove.
// Throws NetworkError (BodyTooLarge among them) or OperationCancelled.
long download(const std::string& url,
              const std::filesystem::path& destination,
              const std::function<void(double)>& fraction,
              std::stop_token stopToken = {},
              std::chrono::seconds idleTimeout = std::chrono::seconds(60),
              std::uintmax_t maximumBytes = UINTMAX_MAX);

} // namespace HttpClient
