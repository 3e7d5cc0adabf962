#include "platform/HttpClient.h"

#include "platform/Ascii.h"
#include "platform/BodyTooLarge.h"
#include "platform/CurlLibrary.h"
#include "platform/NetworkError.h"
#include "platform/OperationCancelled.h"
#include "platform/Platform.h"
#include "platform/UniqueFd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>

namespace {

// Redirect hops are followed by hand, so that each target can be checked before we connect
// to it (libcurl's own protocol filter cannot tell a loopback host from any other).
constexpr int maximumRedirects = 20;
// A small answer larger than this is not a release description or a feed.
constexpr std::size_t maximumBodyInMemory = 16 * 1024 * 1024;

const CurlLibrary& curl() {
    return CurlLibrary::get();
}

struct EasyDeleter {
    void operator()(CURL* handle) const noexcept { curl().easyCleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const noexcept { curl().slistFreeAll(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const noexcept { curl().urlCleanup(url); }
};

struct UrlParts {
    std::string scheme;
    std::string host;
};

std::optional<UrlParts> parseUrl(const std::string& url) {
    std::unique_ptr<CURLU, UrlDeleter> handle(curl().url());
    if (!handle || curl().urlSet(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    UrlParts parts;
    for (auto [part, field] : {std::pair{CURLUPART_SCHEME, &parts.scheme}, std::pair{CURLUPART_HOST, &parts.host}}) {
        char* text = nullptr;
        if (curl().urlGet(handle.get(), part, &text, 0) != CURLUE_OK)
            return std::nullopt;
        *field = text;
        curl().free(text);
    }
    parts.scheme = Ascii::lower(parts.scheme);
    parts.host = Ascii::lower(parts.host);
    return parts;
}

bool isLoopbackHost(std::string host) {
    if (host == "localhost" || host == "localhost.")
        return true;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        in6_addr address{};
        return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &address) == 1 &&
               IN6_IS_ADDR_LOOPBACK(&address);
    }
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

// Which URLs a request may touch: https always; plain http to loopback only when the request
// itself started as http on loopback.
class SchemePolicy {
public:
    explicit SchemePolicy(const std::string& url) {
        const auto parts = parseUrl(url);
        if (parts && parts->scheme == "http" && isLoopbackHost(parts->host))
            m_allowLoopbackHttp = true;
        else if (!parts || parts->scheme != "https")
            throw NetworkError("Refused to load \u201C" + url + "\u201D: only HTTPS is allowed.");
    }

    void checkRedirect(const std::string& url) const {
        const auto parts = parseUrl(url);
        if (parts && (parts->scheme == "https" ||
                      (m_allowLoopbackHttp && parts->scheme == "http" && isLoopbackHost(parts->host))))
            return;
        throw NetworkError("Refused to follow a redirect to \u201C" + url + "\u201D: only HTTPS is allowed.");
    }

    const char* protocols() const { return m_allowLoopbackHttp ? "http,https" : "https"; }

private:
    bool m_allowLoopbackHttp = false;
};

// Where the body of the final answer goes. Bodies of redirect answers are dropped.
struct BodySink {
    virtual ~BodySink() = default;
    // false stops the transfer with a write error
    virtual bool write(const char* data, std::size_t size, curl_off_t expectedTotal) = 0;
};

struct TransferContext {
    CURL* handle = nullptr;
    BodySink* sink = nullptr;
    const std::stop_token* stopToken = nullptr;
};

std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
    auto* context = static_cast<TransferContext*>(user);
    const std::size_t bytes = size * count;
    long status = 0;
    curl().easyGetinfo(context->handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300 && status < 400)
        return bytes;
    curl_off_t total = -1;
    curl().easyGetinfo(context->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    return context->sink->write(data, bytes, status >= 200 && status < 300 ? total : -1) ? bytes : 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* context = static_cast<TransferContext*>(user);
    return context->stopToken->stop_requested() ? 1 : 0;
}

struct TransferLimits {
    std::optional<std::chrono::seconds> total;
    std::optional<std::chrono::seconds> connect;
    std::optional<std::chrono::seconds> idle;
    std::optional<curl_off_t> maximumBytes; // a larger announced length fails before any byte
};

// Performs the request and its redirects; returns the final status. Throws NetworkError,
// OperationCancelled, or what the sink's failure left in sinkError.
long transfer(std::string url,
              const std::vector<std::string>& headers,
              const TransferLimits& limits,
              BodySink& sink,
              std::stop_token stopToken,
              const std::function<void()>& rethrowSinkError) {
    const SchemePolicy policy(url);
    std::unique_ptr<CURL, EasyDeleter> easy(curl().easyInit());
    if (!easy)
        throw NetworkError("Could not start a network transfer.");
    CURL* handle = easy.get();

    std::unique_ptr<curl_slist, HeaderListDeleter> headerList;
    for (const auto& header : headers) {
        curl_slist* extended = curl().slistAppend(headerList.get(), header.c_str());
        if (!extended)
            throw std::bad_alloc();
        headerList.release();
        headerList.reset(extended);
    }

    TransferContext context{handle, &sink, &stopToken};
    char errorText[CURL_ERROR_SIZE] = {};
    const std::string userAgent = "Tallowin/" + Platform::applicationVersion();

    curl().easySetopt(handle, CURLOPT_PROTOCOLS_STR, policy.protocols());
    curl().easySetopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl().easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl().easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl().easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl().easySetopt(handle, CURLOPT_USERAGENT, userAgent.c_str());
    curl().easySetopt(handle, CURLOPT_HTTPHEADER, headerList.get());
    curl().easySetopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl().easySetopt(handle, CURLOPT_WRITEFUNCTION, onData);
    curl().easySetopt(handle, CURLOPT_WRITEDATA, &context);
    curl().easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl().easySetopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl().easySetopt(handle, CURLOPT_XFERINFODATA, &context);
    curl().easySetopt(handle, CURLOPT_BUFFERSIZE, 256L * 1024);
    if (limits.connect)
        curl().easySetopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connect->count()));
    if (limits.idle) {
        curl().easySetopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl().easySetopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.idle->count()));
    }
    if (limits.maximumBytes)
        curl().easySetopt(handle, CURLOPT_MAXFILESIZE_LARGE, *limits.maximumBytes);
    const auto deadline = std::chrono::steady_clock::now() + limits.total.value_or(std::chrono::seconds(0));

    for (int hop = 0;; ++hop) {
        if (limits.total) {
            // The total time-out covers every hop, not each one.
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                throw NetworkError("Operation timed out after " + std::to_string(limits.total->count() * 1000) +
                                   " milliseconds");
            curl().easySetopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
        }
        curl().easySetopt(handle, CURLOPT_URL, url.c_str());
        errorText[0] = '\0';
        const CURLcode result = curl().easyPerform(handle);
        if (result == CURLE_ABORTED_BY_CALLBACK && stopToken.stop_requested())
            throw OperationCancelled();
        if (result == CURLE_WRITE_ERROR)
            rethrowSinkError();
        if (result == CURLE_FILESIZE_EXCEEDED && limits.maximumBytes)
            throw BodyTooLarge(static_cast<std::uintmax_t>(*limits.maximumBytes));
        if (result != CURLE_OK)
            throw NetworkError(errorText[0] ? errorText : curl().easyStrerror(result));

        long status = 0;
        curl().easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        char* location = nullptr;
        curl().easyGetinfo(handle, CURLINFO_REDIRECT_URL, &location);
        if (status < 300 || status >= 400 || !location)
            return status;
        if (hop == maximumRedirects)
            throw NetworkError("Maximum (" + std::to_string(maximumRedirects) + ") redirects followed");
        const std::string next = location;
        policy.checkRedirect(next);
        url = next;
    }
}

struct MemorySink : BodySink {
    std::string body;
    bool tooLarge = false;
    bool write(const char* data, std::size_t size, curl_off_t) override {
        if (body.size() + size > maximumBodyInMemory) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    }
};

struct FileSink : BodySink {
    UniqueFd fd;
    int error = 0;
    curl_off_t written = 0;
    curl_off_t maximumBytes = 0;
    bool tooLarge = false;
    const std::function<void(double)>* fraction = nullptr;

    FileSink() = default;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool write(const char* data, std::size_t size, curl_off_t expectedTotal) override {
        // Counted here too: a server that sends no length is not stopped by libcurl's own limit.
        if (static_cast<curl_off_t>(size) > maximumBytes - written) {
            tooLarge = true;
            return false;
        }
        std::size_t done = 0;
        while (done < size) {
            const ssize_t count = ::write(fd.get(), data + done, size - done);
            if (count < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return false;
            }
            done += static_cast<std::size_t>(count);
        }
        written += static_cast<curl_off_t>(size);
        if (expectedTotal > 0 && *fraction)
            (*fraction)(std::min(static_cast<double>(written) / static_cast<double>(expectedTotal), 1.0));
        return true;
    }
};

} // namespace

namespace HttpClient {

Response get(const std::string& url,
             const std::vector<std::string>& headers,
             std::chrono::seconds totalTimeout,
             std::stop_token stopToken) {
    MemorySink sink;
    TransferLimits limits;
    limits.total = totalTimeout;
    const long status = transfer(url, headers, limits, sink, stopToken, [&] {
        throw NetworkError(sink.tooLarge ? "The answer is larger than expected." : "Failed writing received data");
    });
    return {status, std::move(sink.body)};
}

long download(const std::string& url,
              const std::filesystem::path& destination,
              const std::function<void(double)>& fraction,
              std::stop_token stopToken,
              std::chrono::seconds idleTimeout,
              std::uintmax_t maximumBytes) {
    FileSink sink;
    sink.fraction = &fraction;
    sink.maximumBytes = static_cast<curl_off_t>(
        std::min<std::uintmax_t>(maximumBytes, static_cast<std::uintmax_t>(std::numeric_limits<curl_off_t>::max())));
    sink.fd.reset(::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!sink.fd)
        throw std::filesystem::filesystem_error(
            "cannot create the download file", destination, std::error_code(errno, std::generic_category()));
    TransferLimits limits;
    limits.connect = std::chrono::seconds(60);
    limits.idle = idleTimeout;
    limits.maximumBytes = sink.maximumBytes;
    const long status = transfer(url, {}, limits, sink, stopToken, [&] {
        if (sink.tooLarge)
            throw BodyTooLarge(static_cast<std::uintmax_t>(sink.maximumBytes));
        throw std::filesystem::filesystem_error(
            "cannot write the download file", destination, std::error_code(sink.error, std::generic_category()));
    });
    // Flushed before anyone renames it into place, so a crash cannot leave a short file there.
    if (::fsync(sink.fd.get()) != 0 && errno != EINVAL)
        throw std::filesystem::filesystem_error(
            "cannot write the download file", destination, std::error_code(errno, std::generic_category()));
    return status;
}

} // namespace HttpClient
