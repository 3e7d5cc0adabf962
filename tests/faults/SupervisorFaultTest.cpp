// tallowin-cli and the shipped tools when the front end cannot react (SIGKILL), when a terminal
// stops its job (Ctrl-Z) and when a tool hangs before the download starts. What is left is
// looked for in the process table by session.
#include "MediaFixtures.h"
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// A transfer that starts and then holds still, so the download is mid-way for as long as needed.
std::string stalledUrl(LocalHttpServer& server) {
    HttpRoute stalled;
    stalled.bodyFile = MediaFixtures::fixture("clip.webm");
    stalled.headers["Content-Type"] = "video/webm";
    stalled.stallAfterBytes = 4096;
    server.route("/stalled.webm", stalled);
    return server.baseUrl() + "/stalled.webm";
}

bool waitForRequest(const LocalHttpServer& server, const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        for (const auto& request : server.requests()) {
            if (request.path == path && request.method == "GET")
                return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// The session's processes outside the front end's own group: the tools.
std::vector<ProcessEntry> tools(pid_t session) {
    std::vector<ProcessEntry> found = ProcessTable::inSession(session);
    std::erase_if(found, [session](const ProcessEntry& process) { return process.group == session; });
    return found;
}

bool toolsInState(pid_t session, bool stopped) {
    for (int i = 0; i < 250; ++i) {
        const auto found = tools(session);
        if (!found.empty() && std::all_of(found.begin(), found.end(), [stopped](const ProcessEntry& process) {
                return (process.state == 'T') == stopped;
            }))
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

void reportFigure(const char* what, Clock::duration elapsed) {
    std::printf("[ figure   ] %s: %lld ms\n",
                what,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
}

} // namespace

TEST(SupervisorFaults, KillingTheCommandMidTransferEndsItsTools) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    SessionProgram command(cliPath().string(), {"download", stalledUrl(server)});
    ASSERT_TRUE(waitForRequest(server, "/stalled.webm"));
    ASSERT_FALSE(tools(command.pid()).empty());

    const auto killedAt = Clock::now();
    command.signal(SIGKILL);
    EXPECT_EQ(command.waitFor(5s), 128 + SIGKILL);
    const auto left = ProcessTable::waitUntilEmpty(command.pid(), 8s);
    EXPECT_TRUE(left.empty()) << "left behind: " << ProcessTable::describe(left);
    reportFigure("SIGKILL of tallowin-cli to its last tool gone", Clock::now() - killedAt);
}

TEST(SupervisorFaults, CtrlZStopsTheToolsWithTheCommandAndFgResumesThem) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    LocalHttpServer server(MediaFixtures::folder());
    SessionProgram command(cliPath().string(), {"download", stalledUrl(server)});
    ASSERT_TRUE(waitForRequest(server, "/stalled.webm"));

    // What a terminal does: the signal goes to the command's whole process group.
    command.signalGroup(SIGTSTP);
    EXPECT_TRUE(toolsInState(command.pid(), true)) << ProcessTable::describe(tools(command.pid()));
    command.signalGroup(SIGCONT);
    EXPECT_TRUE(toolsInState(command.pid(), false)) << ProcessTable::describe(tools(command.pid()));

    command.signal(SIGINT);
    EXPECT_EQ(command.waitFor(10s), 130);
    const auto left = ProcessTable::waitUntilEmpty(command.pid(), 5s);
    EXPECT_TRUE(left.empty()) << "left behind: " << ProcessTable::describe(left);
}

TEST(SupervisorFaults, AnUpdatedYtdlpThatHangsDoesNotHoldTheDownloadAgainstCtrlC) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    const fs::path started = Sandbox::makeTempFolder("hang") / "started";
    // Says nothing, ignores SIGTERM, and would sleep for ten minutes.
    writeFakeTool(Sandbox::dataHome() / "org.tallowin.Tallowin" / "yt-dlp",
                  "trap '' TERM\n: > '" + started.string() + "'\nsleep 600\n");
    SessionProgram command(cliPath().string(), {"download", "http://127.0.0.1:9/never.webm"});
    for (int i = 0; i < 400 && !fs::exists(started); ++i)
        std::this_thread::sleep_for(25ms);
    ASSERT_TRUE(fs::exists(started));

    const auto interruptedAt = Clock::now();
    command.signal(SIGINT);
    EXPECT_EQ(command.waitFor(10s), 130) << command.err();
    const auto left = ProcessTable::waitUntilEmpty(command.pid(), 5s);
    EXPECT_TRUE(left.empty()) << "left behind: " << ProcessTable::describe(left);
    reportFigure("Ctrl-C during a hung version lookup to exit", Clock::now() - interruptedAt);
    fs::remove(Sandbox::dataHome() / "org.tallowin.Tallowin" / "yt-dlp");
}
