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
#include <ostream>
#include <sstream>
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

namespace {

// A command line and what it does. "@" stands for the server, "{out}" for a folder with a space in
// its name, "{shm}" for one on another file system (tmpfs) where there is one.
struct CommandLineRow {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> printed; // the names of the files whose paths are printed, in order
    std::string error;                // what standard error holds ("" for nothing)
};

class CommandLines : public testing::TestWithParam<CommandLineRow> {};

} // namespace

TEST_P(CommandLines, DoWhatTheySay) {
    const CommandLineRow& row = GetParam();
    LocalHttpServer server(MediaFixtures::folder());
    MediaFixtures::fixture("clip.mp4");
    MediaFixtures::fixture("clip.mkv");
    const fs::path out = Sandbox::makeTempFolder("out") / "DIR with space";
    const fs::path shm = fs::exists("/dev/shm") ? fs::path("/dev/shm/tallowin-" + std::to_string(::getpid())) : out;
    const auto fill = [&](std::string text) {
        for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1))
            text.replace(at, 1, server.baseUrl());
        return text == "{out}" ? out.string() : text == "{shm}" ? shm.string() : text;
    };
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments)
        arguments.push_back(fill(argument));
    const auto result = runCli(arguments, Sandbox::makeTempFolder("pid") / "pid");
    const std::string folder = row.arguments.size() > 1 ? row.arguments[1] : "";
    std::error_code ignored;
    EXPECT_EQ(result.status, row.status) << result.standardError;
    EXPECT_NE(result.standardError.find(fill(row.error)), std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardError.empty(), row.error.empty()) << result.standardError;
    // A file that could not be moved is where the message says (no such text: npos + 15 wraps to 14).
    const auto stillAt = result.standardError.find("It is still at ") + 15;
    EXPECT_TRUE(stillAt < 15 ||
                fs::is_regular_file(result.standardError.substr(stillAt, result.standardError.size() - stillAt - 1)));

    std::vector<std::string> printed;
    std::istringstream lines(result.standardOutput);
    for (std::string line; std::getline(lines, line);) {
        const fs::path path = line.starts_with("{") ? nlohmann::json::parse(line).at("path").get<std::string>() : line;
        printed.push_back(path.filename().string());
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_TRUE(!folder.starts_with("{") || path.parent_path() == fill(folder)) << path;
    }
    EXPECT_EQ(printed, row.printed);
    // What was moved left nothing behind in the cache.
    for (const auto& entry : fs::recursive_directory_iterator(Sandbox::cacheHome(), ignored))
        EXPECT_TRUE(folder != "{out}" || !entry.is_regular_file() || !entry.path().string().ends_with(".mp4"));
    fs::remove_all(Sandbox::cacheHome(), ignored);
    fs::remove_all(shm, ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    CommandLines,
    testing::Values(
        CommandLineRow{"twice", {"-o", "{out}", "@/clip.mp4", "@/clip.mp4"}, 0, {"clip.mp4", "clip (2).mp4"}, ""},
        CommandLineRow{"jsonIntoAFolder", {"-o", "{out}", "--json", "@/clip.mkv"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"acrossFileSystems", {"--output-dir", "{shm}", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"folderNotMade", {"-o", "/proc/x", "@/clip.mp4"}, 1, {}, "Could not move the file into /proc/x"},
        CommandLineRow{"missing", {"@/clip.mp4", "@/no.mp4", "@/clip.mkv"}, 1, {"clip.mp4", "clip.mp4"}, "@/no.mp4: "},
        CommandLineRow{"quality720", {"-q", "720", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"quality4k", {"--quality", "4k", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"qualityBest", {"-q", "BEST", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"qualityAudio", {"-q", "audio", "@/clip.mp4"}, 0, {"clip.m4a"}, ""},
        CommandLineRow{"unknown", {"@/clip.mp4", "--qualty", "720p"}, 1, {}, "download: unknown option --qualty\n"},
        CommandLineRow{"noScheme", {"example.com/v"}, 1, {}, "usable URL: example.com/v (links start with https"}),
    [](const testing::TestParamInfo<CommandLineRow>& test) { return std::string(test.param.name); });
