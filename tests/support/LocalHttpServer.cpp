#include "support/LocalHttpServer.h"

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

std::string control(const std::string& url, const std::string* postBody) {
    CURL* curl = curl_easy_init();
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    if (postBody)
        curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, postBody->c_str());
    CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK)
        throw std::runtime_error(std::string("test server control failed: ") + curl_easy_strerror(code));
    return answer;
}

} // namespace

LocalHttpServer::LocalHttpServer(const std::filesystem::path& root, const std::vector<std::string>& options) {
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::string script = std::string(TALLOWIN_TEST_SUPPORT_DIR) + "/http_server.py";
    std::string rootText = root.string();
    std::vector<std::string> words = options;
    std::vector<char*> argv{
        const_cast<char*>("/usr/bin/python3"), script.data(), const_cast<char*>("--root"), rootText.data()};
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid;
    int error = posix_spawn(&pid, "/usr/bin/python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    if (error != 0) {
        close(input[1]);
        close(output[0]);
        throw std::runtime_error("could not start the test HTTP server");
    }
    m_pid = pid;
    m_stdinWrite = input[1];

    std::string line;
    char c;
    while (read(output[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(output[0]);
    if (line.rfind("PORT ", 0) != 0)
        throw std::runtime_error("the test HTTP server did not start: " + line);
    m_port = std::stoi(line.substr(5));
}

LocalHttpServer::~LocalHttpServer() {
    if (m_stdinWrite >= 0)
        close(m_stdinWrite);
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status;
        waitpid(m_pid, &status, 0);
    }
}

std::string LocalHttpServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void LocalHttpServer::route(const std::string& path, const HttpRoute& route) {
    nlohmann::json settings = {
        {"path", path},
        {"status", route.status},
        {"body", ""},
        {"bodyFile", route.bodyFile.string()},
        {"headers", route.headers},
        {"redirectTo", route.redirectTo},
        {"omitLength", route.omitLength},
        {"stallAfterBytes", route.stallAfterBytes},
        {"closeAfterBytes", route.closeAfterBytes},
        {"secondsPerChunk", route.secondsPerChunk},
        {"reason", route.reason},
        {"requireCookie", route.requireCookie},
    };
    // Bodies travel as latin-1 text so that any byte survives JSON.
    std::string latin1;
    for (unsigned char byte : route.body) {
        if (byte < 0x80) {
            latin1 += static_cast<char>(byte);
        } else {
            latin1 += static_cast<char>(0xC0 | (byte >> 6));
            latin1 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    settings["body"] = latin1;
    std::string body = settings.dump();
    control(baseUrl() + "/__control/route", &body);
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const {
    auto all = nlohmann::json::parse(control(baseUrl() + "/__control/requests", nullptr));
    std::vector<Request> result;
    for (const auto& entry : all) {
        Request request{entry["method"], entry["path"], {}};
        for (const auto& [name, value] : entry["headers"].items())
            request.headers[name] = value;
        result.push_back(std::move(request));
    }
    return result;
}
