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

// One command line and what it must do. In arguments and error, "@" is the server's address,
// "{out}" a folder with a space in its name, "{shm}" one on another file system when there is one.
struct CommandLineRow {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> printed; // the names of the files whose paths are printed, in order
    std::string error;                // what standard error holds ("" for nothing)
};

inline void PrintTo(const CommandLineRow& row, std::ostream* out) {
    *out << row.name;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A folder on /dev/shm (tmpfs, unlike the sandbox on most machines), removed with the row.
struct ShmFolder {
    fs::path path = fs::exists("/dev/shm") ? fs::path("/dev/shm") / ("tallowin-test-" + std::to_string(::getpid()))
                                           : Sandbox::makeTempFolder("shm");
    ~ShmFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

class CommandLines : public testing::TestWithParam<CommandLineRow> {};

} // namespace

TEST_P(CommandLines, DoWhatTheySay) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    const CommandLineRow& row = GetParam();
    LocalHttpServer server(MediaFixtures::folder());
    for (const char* name : {"clip.mp4", "clip.mkv"})
        MediaFixtures::fixture(name);
    const fs::path out = Sandbox::makeTempFolder("out") / "DIR with space";
    const ShmFolder shm;
    const auto fill = [&](const std::string& text) {
        return replaced(
            replaced(replaced(text, "@", server.baseUrl()), "{out}", out.string()), "{shm}", shm.path.string());
    };
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments)
        arguments.push_back(fill(argument));
    std::error_code ignored;
    fs::remove_all(Sandbox::cacheHome() / "org.tallowin.Tallowin" / "Downloads", ignored);

    const auto result = runCli(arguments, Sandbox::makeTempFolder("pid") / "pid");
    EXPECT_EQ(result.status, row.status) << result.standardError;
    if (row.error.empty()) {
        EXPECT_EQ(result.standardError, "");
    } else {
        EXPECT_NE(result.standardError.find(fill(row.error)), std::string::npos) << result.standardError;
    }
    // A file that could not be moved is where the message says.
    if (const auto at = result.standardError.find("It is still at "); at != std::string::npos) {
        const auto from = at + std::string("It is still at ").size();
        EXPECT_TRUE(
            fs::is_regular_file(result.standardError.substr(from, result.standardError.find('\n', from) - from)));
    }

    std::vector<std::string> printed;
    std::istringstream lines(result.standardOutput);
    for (std::string line; std::getline(lines, line);) {
        const fs::path path = line.starts_with("{") ? nlohmann::json::parse(line).at("path").get<std::string>() : line;
        printed.push_back(path.filename().string());
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        if (row.arguments[1] == "{out}" || row.arguments[1] == "{shm}") {
            EXPECT_EQ(path.parent_path(), row.arguments[1] == "{out}" ? out : shm.path);
        }
        if (line.starts_with("{")) {
            EXPECT_EQ(nlohmann::json::parse(line).at("name"), path.filename().string());
        }
    }
    EXPECT_EQ(printed, row.printed);
    // Moved files leave nothing in the cache.
    if (std::find(row.arguments.begin(), row.arguments.end(), "{out}") != row.arguments.end()) {
        for (const auto& entry : fs::recursive_directory_iterator(Sandbox::cacheHome() / "org.tallowin.Tallowin"))
            EXPECT_FALSE(entry.is_regular_file() && entry.path().string().find("Downloads") != std::string::npos)
                << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    CommandLines,
    testing::Values(
        CommandLineRow{
            "twiceIntoAFolder", {"-o", "{out}", "@/clip.mp4", "@/clip.mp4"}, 0, {"clip.mp4", "clip (2).mp4"}, ""},
        CommandLineRow{"jsonIntoAFolder", {"-o", "{out}", "--json", "@/clip.mkv"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"acrossFileSystems", {"--output-dir", "{shm}", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"folderNotMade",
                       {"-o", "/proc/tallowin", "@/clip.mp4"},
                       1,
                       {},
                       "Could not move the file into /proc/tallowin: "},
        CommandLineRow{"oneOfThreeMissing",
                       {"@/clip.mp4", "@/missing.mp4", "@/clip.mkv"},
                       1,
                       {"clip.mp4", "clip.mp4"},
                       "@/missing.mp4: Download failed: "},
        CommandLineRow{"quality720", {"-q", "720", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"quality4k", {"--quality", "4k", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"qualityBest", {"-q", "BEST", "@/clip.mp4"}, 0, {"clip.mp4"}, ""},
        CommandLineRow{"qualityAudio", {"-q", "audio", "@/clip.mp4"}, 0, {"clip.m4a"}, ""},
        CommandLineRow{"unknownOption",
                       {"--qualty", "720p", "@/clip.mp4"},
                       1,
                       {},
                       "tallowin-cli download: unknown option --qualty\nRun \"tallowin-cli download --help\""},
        CommandLineRow{"noScheme",
                       {"example.com/video"},
                       1,
                       {},
                       "Not a usable URL: example.com/video (links start with https:// or http://)"}),
    [](const testing::TestParamInfo<CommandLineRow>& test) { return std::string(test.param.name); });
