// The runner under faults: tools that ignore SIGTERM, a front end that dies by SIGKILL, a
// terminal that stops and continues the front end's job. Each wait is bounded, so a build that
// signals only the group leader, or leaves the group behind, fails within seconds.
#include "tools/ToolProcess.h"

#include "platform/OperationCancelled.h"
#include "support/FakeTool.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <future>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

fs::path script(const std::string& body) {
    return writeFakeToolInTempFolder(body);
}

// Polls until the file has content (the tool wrote its pids), at most 10 s.
std::string waitForFile(const fs::path& path) {
    for (int i = 0; i < 400; ++i) {
        std::string text = readFile(path);
        if (!text.empty() && text.back() == '\n')
            return text;
        std::this_thread::sleep_for(25ms);
    }
    return {};
}

char processState(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 'X' : stat[close + 2];
}

bool gone(pid_t pid) {
    const char state = processState(pid);
    return state == 'X' || state == 'Z';
}

// Waits (at most `limit`) until every pid is gone.
bool allGone(const std::vector<pid_t>& pids, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (std::all_of(pids.begin(), pids.end(), gone))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

// Waits (at most 5 s) until every pid is in the state or gone.
bool allInState(const std::vector<pid_t>& pids, bool stopped) {
    for (int i = 0; i < 250; ++i) {
        if (std::all_of(
                pids.begin(), pids.end(), [stopped](pid_t pid) { return (processState(pid) == 'T') == stopped; }))
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::vector<pid_t> pidsIn(const std::string& text) {
    std::vector<pid_t> pids;
    std::istringstream in(text);
    for (pid_t pid; in >> pid;)
        pids.push_back(pid);
    return pids;
}

// A tool whose shell and whose own child both ignore SIGTERM, or not, writing "<shell> <child>".
// The shell then becomes a long sleep: no forks in a loop, whose vfork()ed children would leave
// the shell in uninterruptible wait while the group is stopped.
fs::path stubbornTool(const fs::path& pidFile, bool shellIgnores, bool childIgnores) {
    std::string body;
    body += std::string(childIgnores ? "(trap '' TERM; exec sleep 60) &\n" : "sleep 60 &\n");
    body += shellIgnores ? "trap '' TERM\n" : "";
    body += "echo started\necho $$ $! > '" + pidFile.string() + "'\nexec sleep 60\n";
    return script(body);
}

} // namespace

struct Stubbornness {
    const char* name;
    bool shellIgnores;
    bool childIgnores;
};

class StopEscalation : public testing::TestWithParam<Stubbornness> {};

TEST_P(StopEscalation, AStopEndsTheWholeGroupWhateverItIgnores) {
    const fs::path pidFile = Sandbox::makeTempFolder("pids") / "pids";
    const fs::path tool = stubbornTool(pidFile, GetParam().shellIgnores, GetParam().childIgnores);
    std::stop_source stop;
    auto run =
        std::async(std::launch::async, [&] { return ToolProcess::run(tool, {}, std::nullopt, stop.get_token()); });
    const std::vector<pid_t> pids = pidsIn(waitForFile(pidFile));
    ASSERT_EQ(pids.size(), 2u);
    stop.request_stop();

    // A run that waited for the tool to give up would take the tool's whole minute.
    if (run.wait_for(20s) != std::future_status::ready) {
        for (pid_t pid : pids)
            ::kill(pid, SIGKILL);
        FAIL() << "the run did not return after a stop";
    }
    EXPECT_THROW(run.get(), OperationCancelled);
    EXPECT_TRUE(allGone(pids, 5s)) << "a process of the tool's group outlived the stop";
}

INSTANTIATE_TEST_SUITE_P(Tools,
                         StopEscalation,
                         testing::Values(Stubbornness{"Cooperative", false, false},
                                         Stubbornness{"ShellIgnoresTerm", true, false},
                                         Stubbornness{"ChildIgnoresTerm", false, true},
                                         Stubbornness{"BothIgnoreTerm", true, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ToolSupervision, SilenceStopsATool) {
    const auto silent = ToolProcess::run(script("exec sleep 60\n"), {}, std::nullopt, {}, 300ms);
    EXPECT_TRUE(silent.timedOut);
    EXPECT_EQ(silent.status, SIGTERM);

    // Output keeps a slow tool alive however long it runs in all.
    const auto chatty =
        ToolProcess::run(script("for i in 1 2 3 4 5 6; do echo $i; sleep 0.15; done\n"), {}, std::nullopt, {}, 600ms);
    EXPECT_FALSE(chatty.timedOut);
    EXPECT_EQ(chatty.status, 0);
    EXPECT_EQ(chatty.standardOutput, "1\n2\n3\n4\n5\n6\n");
}

TEST(ToolSupervision, ABadWorkingDirectoryIsALaunchError) {
    try {
        ToolProcess::run("/bin/true", {}, Sandbox::root() / "no such folder");
        ADD_FAILURE() << "launched";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
}

TEST(ToolSupervision, ToolsEndWhenTheFrontEndIsKilled) {
    const fs::path pidFile = Sandbox::makeTempFolder("pids") / "pids";
    const fs::path tool = stubbornTool(pidFile, true, true);
    SessionProgram frontEnd(TALLOWIN_RUN_TOOL_PATH, {tool.string()});
    const std::vector<pid_t> pids = pidsIn(waitForFile(pidFile));
    ASSERT_EQ(pids.size(), 2u);

    frontEnd.signal(SIGKILL);
    EXPECT_EQ(frontEnd.waitFor(5s), 128 + SIGKILL);
    // The grace period, SIGKILL, and room for a loaded machine.
    const auto left = ProcessTable::waitUntilEmpty(frontEnd.pid(), 8s);
    EXPECT_TRUE(left.empty()) << "left behind: " << ProcessTable::describe(left);
}

TEST(ToolSupervision, StoppingTheFrontEndsJobStopsItsToolsAndContinuingResumesThem) {
    const fs::path pidFile = Sandbox::makeTempFolder("pids") / "pids";
    const fs::path tool = stubbornTool(pidFile, false, false);
    SessionProgram frontEnd(TALLOWIN_RUN_TOOL_PATH, {tool.string()});
    const std::vector<pid_t> pids = pidsIn(waitForFile(pidFile));
    ASSERT_EQ(pids.size(), 2u);

    // What a terminal does on Ctrl-Z and on fg: the signal goes to the front end's process group.
    frontEnd.signalGroup(SIGTSTP);
    EXPECT_TRUE(allInState(pids, true)) << "the tools kept running while their front end's job was stopped: "
                                        << ProcessTable::describe(ProcessTable::inSession(frontEnd.pid()));
    frontEnd.signalGroup(SIGCONT);
    EXPECT_TRUE(allInState(pids, false)) << "the tools stayed stopped after the job was continued";
}

TEST(ToolSupervision, LinesArriveWhileTheToolRunsAndTheOutputStaysWhole) {
    // The last line says whether "two" had been seen while the tool still ran: a runner that
    // handed lines over at the end would make it "late".
    const fs::path seen = Sandbox::makeTempFolder("seen") / "seen";
    const fs::path tool = script("printf 'one\\r\\ntw'; sleep 0.1; printf 'o\\n'; echo err >&2\n"
                                 "i=0; while [ ! -e '" +
                                 seen.string() +
                                 "' ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i+1)); done\n"
                                 "[ -e '" +
                                 seen.string() + "' ] && printf 'three' || printf 'late'\n");
    std::vector<std::pair<ToolProcess::Stream, std::string>> lines;
    const auto result = ToolProcess::run(
        tool, {}, std::nullopt, {}, std::nullopt, [&](ToolProcess::Stream stream, std::string_view line) {
            lines.emplace_back(stream, std::string(line));
            if (line == "two")
                writeFile(seen, "");
        });
    using enum ToolProcess::Stream;
    const std::vector<std::pair<ToolProcess::Stream, std::string>> expected{
        {standardOutput, "one"}, {standardOutput, "two"}, {standardError, "err"}, {standardOutput, "three"}};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(result.standardOutput, "one\r\ntwo\nthree");
    EXPECT_EQ(result.standardError, "err\n");
}
