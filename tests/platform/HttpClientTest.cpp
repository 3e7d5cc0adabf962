#include "platform/HttpClient.h"
#include "platform/NetworkError.h"
#include "platform/OperationCancelled.h"
#include "platform/Platform.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::string allBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) % 256);
    return bytes;
}

class HttpClientTest : public ::testing::Test {
protected:
    LocalHttpServer m_server;
    std::filesystem::path m_file = Sandbox::makeTempFolder("http") / "body";
};

TEST_F(HttpClientTest, GetSendsOurUserAgentAndHeadersAndReturnsTheFinalAnswer) {
    HttpRoute target;
    target.status = 201;
    target.body = "{\"ok\":true}";
    m_server.route("/final", target);
    HttpRoute hop;
    hop.redirectTo = m_server.baseUrl() + "/final";
    m_server.route("/first", hop);

    const auto response = HttpClient::get(
        m_server.baseUrl() + "/first", {"Accept: application/vnd.github+json"}, std::chrono::seconds(15));

    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.body, "{\"ok\":true}");
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.headers.at("user-agent"), "Tallowin/" + Platform::applicationVersion());
        EXPECT_EQ(request.headers.at("accept"), "application/vnd.github+json");
    }
}

TEST_F(HttpClientTest, RefusesPlainHttpAwayFromLoopbackBeforeConnecting) {
    HttpRoute hop;
    hop.redirectTo = "http://192.0.2.1/yt-dlp_linux"; // a documentation address: nothing answers there
    m_server.route("/asset", hop);

    try {
        HttpClient::download(m_server.baseUrl() + "/asset", m_file, {});
        FAIL() << "the redirect was followed";
    } catch (const NetworkError& error) {
        EXPECT_NE(std::string(error.what()).find("only HTTPS"), std::string::npos) << error.what();
    }
    EXPECT_THROW(HttpClient::get("http://example.invalid/x", {}, std::chrono::seconds(15)), NetworkError);
    EXPECT_THROW(HttpClient::get("ftp://127.0.0.1/x", {}, std::chrono::seconds(15)), NetworkError);
}

TEST_F(HttpClientTest, DownloadStreamsEveryByteToTheFile) {
    HttpRoute route;
    route.body = allBytes(3 * 1024 * 1024 + 17);
    m_server.route("/asset", route);

    EXPECT_EQ(HttpClient::download(m_server.baseUrl() + "/asset", m_file, {}), 200);
    EXPECT_EQ(readFile(m_file), route.body);
}

TEST_F(HttpClientTest, StalledDownloadFailsAfterTheIdleTimeout) {
    HttpRoute route;
    route.body = allBytes(256 * 1024);
    route.stallAfterBytes = 0; // after a burst libcurl's speed average needs seconds to fall
    m_server.route("/asset", route);

    EXPECT_THROW(HttpClient::download(m_server.baseUrl() + "/asset", m_file, {}, {}, std::chrono::seconds(2)),
                 NetworkError);
}

TEST_F(HttpClientTest, StopDuringATransferIsACancellation) {
    HttpRoute route;
    route.body = allBytes(256 * 1024);
    route.stallAfterBytes = 64 * 1024;
    m_server.route("/asset", route);
    m_server.route("/json", route);
    std::stop_source stop;

    EXPECT_THROW(HttpClient::download(
                     m_server.baseUrl() + "/asset", m_file, [&](double) { stop.request_stop(); }, stop.get_token()),
                 OperationCancelled);

    std::stop_source later;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        later.request_stop();
    });
    EXPECT_THROW(HttpClient::get(m_server.baseUrl() + "/json", {}, std::chrono::seconds(15), later.get_token()),
                 OperationCancelled);
}

} // namespace
