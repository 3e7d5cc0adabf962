// tallowin-cli's command-line conventions: --version, its own name in usage lines, short
// messages for what the parser refuses, and help without parser notation.
#include "PackagingHelp.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(CommandLine, VersionPrintsTheProgramsNameAndVersion) {
    const CliResult result = runCli({"--version"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, std::string("tallowin-cli ") + TALLOWIN_PROJECT_VERSION + "\n");
    EXPECT_EQ(result.err, "");
}

struct Refusal {
    std::vector<std::string> arguments;
    std::string message; // the first line on standard error
    std::string helpFor; // the command whose help the second line points at
};

class RefusedCommandLine : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedCommandLine, SaysWhatWasWrongAndExitsWith1) {
    const Refusal& refusal = GetParam();
    const CliResult result = runCli(refusal.arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, refusal.message + "\nRun \"" + refusal.helpFor + " --help\" for more information.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages,
    RefusedCommandLine,
    testing::Values(
        Refusal{{"--bogus"}, "tallowin-cli: unknown option --bogus", "tallowin-cli"},
        Refusal{{"frob"},
                "tallowin-cli: unknown command \"frob\"; the commands are status, download, update-ytdlp.",
                "tallowin-cli"},
        Refusal{{}, "tallowin-cli: a command is required: status, download, update-ytdlp.", "tallowin-cli"},
        Refusal{{"status", "--bogus"}, "tallowin-cli status: unknown option --bogus", "tallowin-cli status"},
        Refusal{{"status", "extra"}, "tallowin-cli status: unexpected argument \"extra\".", "tallowin-cli status"},
        Refusal{{"download", "https://a.test/v", "--qualty", "720p"},
                "tallowin-cli download: unknown option --qualty",
                "tallowin-cli download"},
        Refusal{{"update-ytdlp", "--json"},
                "tallowin-cli update-ytdlp: unknown option --json",
                "tallowin-cli update-ytdlp"}),
    [](const testing::TestParamInfo<Refusal>& test) { return "case" + std::to_string(test.index); });

// The widest line of a text, in columns: one a UTF-8 code point, a terminal's "\r" not counted.
std::size_t widestLine(const std::string& text) {
    std::size_t widest = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        widest = std::max<std::size_t>(
            widest, std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80 && c != '\r'; }));
    return widest;
}

// Off a terminal help fits 80 columns; on one, its width.
TEST(CommandLine, UsageLinesNameTheProgramNotItsPathAndFitTheTerminal) {
    std::vector<std::vector<std::string>> commandLines{{"--help"}};
    for (const std::string& subcommand : PackagingHelp::subcommands())
        commandLines.push_back({subcommand, "--help"});
    ASSERT_GT(commandLines.size(), 1u);
    for (const auto& arguments : commandLines) {
        const CliResult result = runCli(arguments);
        EXPECT_EQ(result.exitStatus, 0) << arguments.front();
        const std::string expected =
            "Usage: tallowin-cli" + (arguments.size() > 1 ? " " + arguments.front() : std::string());
        EXPECT_NE(result.out.find(expected + " "), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find(cliPath().string()), std::string::npos) << result.out;
        EXPECT_LE(widestLine(result.out), 80u) << result.out;
    }
    // script(1) gives the command a terminal, here one 50 columns wide.
    const std::string help = "stty cols 50; '" + cliPath().string() + "' download --help";
    const CliResult onTerminal = runProgram("/usr/bin/script", {"-qec", help, "/dev/null"});
    EXPECT_LE(widestLine(onTerminal.out), 50u) << onTerminal.out;
    EXPECT_GT(widestLine(onTerminal.out), 40u) << onTerminal.out;
}

TEST(CommandLine, ForceMp4HelpLineShowsBothNamesAndNoParserNotation) {
    const CliResult result = runCli({"download", "--help"});
    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.out.find("\n  --force-mp4, --no-force-mp4\n      Force MP4: Deliver an MP4."), std::string::npos)
        << result.out;
    for (const char* notation : {"{", "}", "!"})
        EXPECT_EQ(result.out.find(notation), std::string::npos) << notation << " in\n" << result.out;
}

} // namespace
