#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A scripted answer for one path.
struct HttpRoute {
    int status = 200;
    std::string body;               // the bytes to send...
    std::filesystem::path bodyFile; // ...or this file's bytes
    std::map<std::string, std::string> headers;
    std::string redirectTo;         // answer 302 with this Location
    bool omitLength = false;        // no Content-Length; the connection closes at the end
    long long stallAfterBytes = -1; // send this many bytes, then hold the connection silent
    long long closeAfterBytes = -1; // send this many bytes, then close the connection
    double secondsPerChunk = 0;     // pause between 64 KiB chunks (a slow transfer)
    std::string reason;             // the status line's reason phrase, as given; empty: the usual one
    std::string requireCookie;      // "name=value": without it in the request's Cookie header, 403

    // The common case: a status and a body, nothing else special.
    static HttpRoute answer(int status, std::string body) {
        HttpRoute route;
        route.status = status;
        route.body = std::move(body);
        return route;
    }
};

// An HTTP/1.1 server on 127.0.0.1 (an ephemeral port) for tests: serves files below root (with
// 404 for what is missing) and scripted routes, and records every request. It runs as a child
// python3 process for the lifetime of this object. Every transfer is bounded: a stalled route
// holds the connection for at most 120 s. options go to http_server.py (--rate, --delay,
// --refuse-parallel).
class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::filesystem::path& root = {}, const std::vector<std::string>& options = {});
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    std::string baseUrl() const; // "http://127.0.0.1:PORT", no trailing slash

    // Answers requests for path (exact match on the path, query ignored) with route, replacing
    // any earlier route for that path.
    void route(const std::string& path, const HttpRoute& route);

    struct Request {
        std::string method;
        std::string path;                           // with the query
        std::map<std::string, std::string> headers; // names lower-cased
    };
    std::vector<Request> requests() const;

private:
    int m_pid = -1;
    int m_stdinWrite = -1; // closing it tells the server to exit, even if we die first
    int m_port = 0;
};
