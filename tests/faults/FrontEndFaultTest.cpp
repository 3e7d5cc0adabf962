// tallowin-cli with the real package, ended by the signals a terminal, a logout or kill(1) send,
// and writing its result where nothing can be written. Each run has a session of its own, so
// whatever it leaves behind is found by session even after the command is gone.
#include "MediaFixtures.h"
#include "platform/Platform.h"
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Generous: the point is "does not hang", not how fast.
constexpr auto endLimit = 30s;
constexpr auto orphanLimit = 10s;

bool requested(const LocalHttpServer& server, const std::string& path) {
    for (const auto& request : server.requests()) {
        if (request.path == path && request.method == "GET")
            return true;
    }
    return false;
}

struct SignalRow {
    const char* name;
    int number;
    bool fragmented = false; // an HLS stream, several segments in flight, one stalled; else one file
};

inline void PrintTo(const SignalRow& row, std::ostream* out) {
    *out << row.name;
}

class DownloadSignal : public testing::TestWithParam<SignalRow> {};

struct UnwritableRow {
    const char* name;
    std::vector<std::string> arguments; // "URL" stands for the served clip
    bool closedPipe;                    // else standard output is /dev/full
    std::string reason;
};

inline void PrintTo(const UnwritableRow& row, std::ostream* out) {
    *out << row.name;
}

class UnwritableResult : public testing::TestWithParam<UnwritableRow> {};

} // namespace

TEST_P(DownloadSignal, EndsEveryToolAndExitsWithTheShellsStatus) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    const bool fragmented = GetParam().fragmented;
    const std::string stalledPath = fragmented ? "/hls/index1.ts" : "/stalled.webm";
    HttpRoute stalled;
    stalled.bodyFile = fragmented ? MediaFixtures::fixture("hls/index.m3u8").parent_path() / "index1.ts"
                                  : MediaFixtures::fixture("clip.webm");
    stalled.headers["Content-Type"] = fragmented ? "video/mp2t" : "video/webm";
    stalled.stallAfterBytes = 4096;
    server.route(stalledPath, stalled);

    SessionProgram cli(cliPath().string(),
                       {"download", server.baseUrl() + (fragmented ? "/hls/index.m3u8" : "/stalled.webm")});
    // yt-dlp is inside the transfer once the server has seen its request for the file.
    for (int i = 0; i < 600 && !requested(server, stalledPath); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(requested(server, stalledPath)) << cli.err();
    ASSERT_GT(ProcessTable::inSession(cli.pid()).size(), 1u) << "no tool running";

    cli.signal(GetParam().number); // the command alone: ending its tools is its own job
    EXPECT_EQ(cli.waitFor(endLimit), 128 + GetParam().number) << cli.err();
    const auto left = ProcessTable::waitUntilEmpty(cli.pid(), orphanLimit);
    EXPECT_TRUE(left.empty()) << ProcessTable::describe(left);
    EXPECT_EQ(cli.out(), "");
    EXPECT_EQ(cli.err().find("Traceback"), std::string::npos) << cli.err();
    // What had arrived (segments, a partial file) and the work folder went with the stop.
    const fs::path staging = Sandbox::cacheHome() / Platform::bundleIdentifier() / "Downloads";
    EXPECT_TRUE(!fs::exists(staging) || fs::is_empty(staging)) << staging;
}

INSTANTIATE_TEST_SUITE_P(EachStopSignal,
                         DownloadSignal,
                         testing::Values(SignalRow{"hangup", SIGHUP},
                                         SignalRow{"interrupt", SIGINT},
                                         SignalRow{"terminate", SIGTERM},
                                         SignalRow{"quit", SIGQUIT},
                                         SignalRow{"interruptFragmented", SIGINT, true},
                                         SignalRow{"terminateFragmented", SIGTERM, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(StatusFault, InterruptEndsAHungVersionLookup) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    // An updated copy that never answers "--version" (the lookup's own silence limit is 30 s).
    writeFakeTool(BundledTools::updatedYtdlp(), "exec sleep 120\n");
    struct Removal {
        ~Removal() { fs::remove(BundledTools::updatedYtdlp()); }
    } removal;
    SessionProgram cli(cliPath().string(), {"status"});
    auto sleeping = [&cli] {
        for (const ProcessEntry& process : ProcessTable::inSession(cli.pid())) {
            if (process.command == "sleep")
                return true;
        }
        return false;
    };
    for (int i = 0; i < 400 && !sleeping(); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(sleeping()) << ProcessTable::describe(ProcessTable::inSession(cli.pid()));

    cli.signal(SIGINT);
    // Well inside the silence limit, so an answer here means the signal ended the lookup.
    EXPECT_EQ(cli.waitFor(20s), 128 + SIGINT) << cli.err();
    const auto left = ProcessTable::waitUntilEmpty(cli.pid(), orphanLimit);
    EXPECT_TRUE(left.empty()) << ProcessTable::describe(left);
    EXPECT_EQ(cli.out(), ""); // a stopped lookup is not "missing"
}

TEST_P(UnwritableResult, IsAnErrorWithItsReason) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    MediaFixtures::fixture("clip.mp4");
    std::string command = "\"$0\"";
    for (const std::string& argument : GetParam().arguments) {
        const std::string word = argument == "URL" ? server.baseUrl() + "/clip.mp4" : argument;
        command += " '" + word + "'";
    }
    const fs::path readerGone = Sandbox::makeTempFolder("fifo") / "reader-gone";
    ASSERT_EQ(::mkfifo(readerGone.c_str(), 0600), 0);
    // The pipe's only reader closes it before the command starts (told through the fifo), so the
    // write fails whatever the timing. bash, for the status of the pipeline's first command.
    const std::string script = GetParam().closedPipe ? "{ cat \"$1\" > /dev/null; exec " + command +
                                                           "; } | { exec 0<&-; echo > \"$1\"; }; exit ${PIPESTATUS[0]}"
                                                     : "exec " + command + " > /dev/full";
    const CliResult result = runProgram("/bin/bash", {"-c", script, cliPath().string(), readerGone.string()});
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_EQ(result.err, "Could not write the result: " + GetParam().reason + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    FullDiskAndClosedPipe,
    UnwritableResult,
    testing::Values(UnwritableRow{"downloadToAFullDisk", {"download", "URL"}, false, "No space left on device"},
                    UnwritableRow{"downloadJsonToAClosedPipe", {"download", "--json", "URL"}, true, "Broken pipe"},
                    UnwritableRow{"statusToAFullDisk", {"status"}, false, "No space left on device"},
                    UnwritableRow{"statusJsonToAClosedPipe", {"status", "--json"}, true, "Broken pipe"}),
    [](const auto& test) { return std::string(test.param.name); });

// Closed before the command starts, standard output is /dev/null: nothing of ours takes its number.
TEST(ClosedStandardOutput, IsNoFailure) {
    LocalHttpServer server(MediaFixtures::folder());
    MediaFixtures::fixture("clip.mp4");
    const CliResult result = runProgram(
        "/bin/sh",
        {"-c", "exec \"$0\" download --no-force-mp4 \"$1\" >&-", cliPath().string(), server.baseUrl() + "/clip.mp4"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
}
