// The built tallowin-cli with the real package folder it sits in (its Helpers are the shipped
// tools), against media served from 127.0.0.1.
#include "MediaFixtures.h"
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The command finds its package from its own location; only the user's folders are pointed at
// the sandbox. The shell writes its pid, which exec hands on to the command.
ToolProcessResult runCli(const std::vector<std::string>& arguments, const fs::path& pidFile) {
    std::string command = "echo $$ > '" + pidFile.string() + "'; exec env XDG_CACHE_HOME='" +
                          Sandbox::cacheHome().string() + "' XDG_DATA_HOME='" + Sandbox::dataHome().string() + "' '" +
                          cliPath().string() + "' download";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    return ToolProcess::run("/bin/sh", {"-c", command});
}

} // namespace

TEST(DownloadCommandEndToEnd, HandsOnTheConvertedFile) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    MediaFixtures::fixture("clip.webm");
    const auto result = runCli({"--json", server.baseUrl() + "/clip.webm"}, Sandbox::makeTempFolder("pid") / "pid");
    ASSERT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    const auto json = nlohmann::json::parse(result.standardOutput);
    EXPECT_EQ(json.at("name"), "clip.mp4");
    EXPECT_EQ(json.at("type"), "video/mp4");
    EXPECT_EQ(json.at("wasConverted"), true);
    EXPECT_EQ(json.at("wasRemuxed"), false);
    const fs::path file = json.at("path").get<std::string>();
    EXPECT_EQ(MediaFixtures::streamsOf(file).video, "h264");
    EXPECT_FALSE(fs::exists(file.parent_path() / "clip.webm"));
}

TEST(DownloadCommandEndToEnd, TerminationDuringAStalledTransferExitsWith143) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    HttpRoute stalled;
    stalled.bodyFile = MediaFixtures::fixture("clip.webm");
    stalled.headers["Content-Type"] = "video/webm";
    stalled.stallAfterBytes = 4096;
    server.route("/stalled.webm", stalled);

    const fs::path pidFile = Sandbox::makeTempFolder("pid") / "pid";
    ToolProcessResult result;
    std::thread command([&] { result = runCli({server.baseUrl() + "/stalled.webm"}, pidFile); });
    // Wait until yt-dlp is inside the transfer: the server has seen the request for the file.
    auto requested = [&server] {
        for (const auto& request : server.requests()) {
            if (request.path == "/stalled.webm" && request.method == "GET")
                return true;
        }
        return false;
    };
    for (int i = 0; i < 600 && !requested(); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(requested());
    std::string pid = readFile(pidFile);
    ASSERT_FALSE(pid.empty());
    ::kill(std::stoi(pid), SIGTERM);
    command.join(); // bounded by the server, which gives up on a stalled transfer after 120 s
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError.find("Traceback"), std::string::npos) << result.standardError;
}
