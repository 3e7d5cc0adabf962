#include "tools/ToolProcess.h"

#include "platform/OperationCancelled.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <sstream>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

fs::path script(const std::string& body) {
    return writeFakeToolInTempFolder(body);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool processGone(pid_t pid) {
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    return stat.empty() || stat.find(") Z ") != std::string::npos;
}

} // namespace

TEST(ToolProcess, DrainsMegabytesOnBothStreamsInterleaved) {
    // 4 MB on each stream in 20 KB pieces: far beyond a pipe's buffer, so a runner that reads one
    // stream at a time deadlocks here.
    auto tool = script("i=0\n"
                       "while [ $i -lt 200 ]; do\n"
                       "  head -c 20000 /dev/zero | tr '\\0' o\n"
                       "  head -c 20000 /dev/zero | tr '\\0' e >&2\n"
                       "  i=$((i+1))\n"
                       "done\n");
    auto result = ToolProcess::run(tool, {});
    EXPECT_EQ(result.status, 0);
    ASSERT_EQ(result.standardOutput.size(), 4'000'000u);
    ASSERT_EQ(result.standardError.size(), 4'000'000u);
    EXPECT_EQ(std::count(result.standardOutput.begin(), result.standardOutput.end(), 'o'), 4'000'000);
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), 'e'), 4'000'000);
}

TEST(ToolProcess, FailureStatusIsAResultNotAnError) {
    auto result = ToolProcess::run(script("echo 'ERROR: broken' >&2\nexit 1\n"), {});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "ERROR: broken\n");
}

TEST(ToolProcess, StandardInputIsAtEndOfFile) {
    auto result = ToolProcess::run(script("if read line; then echo \"got $line\"; else echo eof; fi\n"), {});
    EXPECT_EQ(result.standardOutput, "eof\n");
}

TEST(ToolProcess, IllFormedUtf8BecomesReplacementCharacters) {
    auto result = ToolProcess::run(script("printf 'ok\\377x\\342\\202y\\303\\251\\n'\n"), {});
    EXPECT_EQ(result.standardOutput, "ok\xEF\xBF\xBDx\xEF\xBF\xBDy\xC3\xA9\n");
}

TEST(ToolProcess, ChildSeesExactlyTheFourVariablesAndTheProxies) {
    ScopedEnv proxy("https_proxy", "http://proxy.invalid:1");
    ScopedEnv upperProxy("NO_PROXY", "localhost");
    ScopedEnv other("SECRET_TOKEN", "x");
    ScopedEnv lang("LANG", "de_DE.UTF-8");
    ScopedEnv home("HOME", "/home/somebody");
    // The shell's own initial environment, before it adds anything of its own.
    auto result = ToolProcess::run(script("tr '\\0' '\\n' < /proc/$$/environ | sort\n"), {});
    std::vector<std::string> expected{
        "HOME=/home/somebody",
        "LANG=en_US.UTF-8",
        "NO_PROXY=localhost",
        "PATH=/usr/bin:/bin:/usr/sbin:/sbin",
        "TMPDIR=" + (Sandbox::root() / "tmp").string() + "/",
        "https_proxy=http://proxy.invalid:1",
    };
    EXPECT_EQ(lines(result.standardOutput), expected);
}

TEST(ToolProcess, ArgumentsArriveAsSingleUnchangedWords) {
    std::vector<std::string> arguments{"two words", "\"quoted\"", "it's", "$HOME", "*", "", "-x", "back\\slash"};
    auto result = ToolProcess::run(script("for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"), arguments);
    std::vector<std::string> expected;
    for (const auto& a : arguments)
        expected.push_back("[" + a + "]");
    EXPECT_EQ(lines(result.standardOutput), expected);
}

TEST(ToolProcess, WorkingDirectoryGivenOrInherited) {
    auto tool = script("pwd -P\n");
    fs::path folder = fs::canonical(Sandbox::makeTempFolder("cwd with space"));
    EXPECT_EQ(ToolProcess::run(tool, {}, folder).standardOutput, folder.string() + "\n");
    EXPECT_EQ(ToolProcess::run(tool, {}).standardOutput, fs::canonical(fs::current_path()).string() + "\n");
}

TEST(ToolProcess, StopTerminatesTheChildAndItsToolsAndIsACancellation) {
    fs::path pidFile = Sandbox::makeTempFolder("pid") / "grandchild";
    auto tool = script("sleep 60 &\n"
                       "echo $! > '" +
                       pidFile.string() +
                       "'\n"
                       "echo started\n"
                       "wait\n");
    std::stop_source stop;
    auto run =
        std::async(std::launch::async, [&] { return ToolProcess::run(tool, {}, std::nullopt, stop.get_token()); });
    for (int i = 0; i < 400 && readFile(pidFile).empty(); ++i)
        std::this_thread::sleep_for(25ms);
    const std::string pidText = readFile(pidFile);
    stop.request_stop();

    // Generous: a runner that signalled only the tool itself would wait for the grandchild's minute.
    const bool returned = run.wait_for(15s) == std::future_status::ready;
    const pid_t grandchild = pidText.empty() ? 0 : std::stoi(pidText);
    if (!returned && grandchild > 0)
        ::kill(grandchild, SIGKILL); // so that a failing build fails now, not in a minute
    ASSERT_TRUE(returned) << "the run did not return after a stop";
    EXPECT_THROW(run.get(), OperationCancelled);
    ASSERT_GT(grandchild, 0) << "the tool never started its own child";
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = processGone(grandchild);
        if (!gone)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(gone) << "the tool's own child outlived the cancellation";
}

TEST(ToolProcess, StopRequestedBeforeTheRunStillLaunchesButEndsTheChild) {
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(ToolProcess::run(script("exec sleep 60\n"), {}, std::nullopt, stop.get_token()), OperationCancelled);
    EXPECT_THROW(ToolProcess::run("/nonexistent/tool", {}, std::nullopt, stop.get_token()), std::system_error);
}

// A tool that exits 0 has finished its work, whatever the stop request asked of it meanwhile.
TEST(ToolProcess, AToolThatExitsZeroDespiteAStopHasFinished) {
    std::stop_source stop;
    auto result = ToolProcess::run(script("trap '' TERM\necho done\n"),
                                   {},
                                   std::nullopt,
                                   stop.get_token(),
                                   std::nullopt,
                                   [&](ToolProcess::Stream, std::string_view) { stop.request_stop(); });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardOutput, "done\n");
}

TEST(ToolProcess, WaitsForAGrandchildThatHoldsStandardOutput) {
    auto result = ToolProcess::run(script("(sleep 1; echo late) &\necho early\n"), {});
    EXPECT_EQ(result.standardOutput, "early\nlate\n");
}

TEST(ToolProcess, LaunchFailuresThrowTheSystemError) {
    fs::path folder = Sandbox::makeTempFolder("launch");
    writeFile(folder / "plain", "#!/bin/sh\necho hi\n");
    fs::create_directory(folder / "dir");
    for (const fs::path& path : {folder / "missing", folder / "plain", folder / "dir"}) {
        try {
            ToolProcess::run(path, {});
            ADD_FAILURE() << path << " launched";
        } catch (const std::system_error& error) {
            EXPECT_TRUE(error.code() == std::errc::no_such_file_or_directory ||
                        error.code() == std::errc::permission_denied)
                << error.what();
        }
    }
}

TEST(ToolProcess, NoDescriptorOfOursLeaksIntoTheChild) {
    int leaky = ::open("/dev/null", O_RDONLY); // deliberately without O_CLOEXEC
    int high = ::dup2(leaky, 57);
    ASSERT_GE(high, 0);
    // ls lists /proc/self/fd with one descriptor of its own open for the listing.
    auto result = ToolProcess::run("/bin/ls", {"/proc/self/fd"});
    ::close(leaky);
    ::close(high);
    auto fds = lines(result.standardOutput);
    EXPECT_LE(fds.size(), 4u) << result.standardOutput;
    for (const auto& fd : fds)
        EXPECT_TRUE(fd == "0" || fd == "1" || fd == "2" || fd == "3") << "leaked descriptor " << fd;
}

TEST(ToolProcess, ConcurrentRunsDoNotInterfere) {
    auto tool = script("echo \"$1\"; sleep 0.2; echo \"$1\" >&2\n");
    std::vector<std::jthread> threads;
    std::vector<ToolProcessResult> results(6);
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&, i] { results[i] = ToolProcess::run(tool, {std::to_string(i)}); });
    threads.clear();
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(results[i].standardOutput, std::to_string(i) + "\n");
        EXPECT_EQ(results[i].standardError, std::to_string(i) + "\n");
    }
}
