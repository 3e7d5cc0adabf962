// The package folder's man pages, completions, icons and licences, checked against the built
// program's own help and against the files' formats.
#include "PackagingHelp.h"
#include "support/CliRun.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

fs::path resources() {
    return Sandbox::packageRoot() / "Contents/Resources";
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ManPages, RenderWithoutWarnings) {
    for (const char* page : {"tallowin.1", "tallowin-cli.1"}) {
        const fs::path file = resources() / "man/man1" / page;
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        const CliResult rendered =
            runProgram("/usr/bin/env", {"MANWIDTH=80", "man", "--warnings", "-E", "UTF-8", "-l", file.string()});
        EXPECT_EQ(rendered.exitStatus, 0) << page;
        EXPECT_EQ(rendered.err, "") << page;
        EXPECT_NE(rendered.out.find("SYNOPSIS"), std::string::npos) << page;
    }
}

TEST(ManPages, CommandLinePageDescribesEverySubcommandAndOption) {
    const std::string page = contents(resources() / "man/man1/tallowin-cli.1");
    const auto subcommands = PackagingHelp::subcommands();
    ASSERT_FALSE(subcommands.empty());
    for (const std::string& subcommand : subcommands) {
        EXPECT_NE(page.find(".SS \"" + subcommand + "\""), std::string::npos) << subcommand;
        for (std::string option : PackagingHelp::longOptions(subcommand)) {
            // roff spells a hyphen in an option name as "\-".
            std::string escaped;
            for (char c : option)
                escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(page.find("\\fB" + escaped + "\\fR"), std::string::npos) << subcommand << " " << option;
        }
    }
}

class Completion : public testing::TestWithParam<const char*> {};

TEST_P(Completion, OffersEverySubcommandOptionAndQuality) {
    const std::string script = contents(resources() / "completions" / GetParam());
    ASSERT_FALSE(script.empty());
    for (const std::string& subcommand : PackagingHelp::subcommands()) {
        EXPECT_NE(script.find(subcommand), std::string::npos) << subcommand;
        for (const std::string& option : PackagingHelp::longOptions(subcommand)) {
            // bash and zsh spell "--name", fish "-l name".
            const bool named =
                script.find(option) != std::string::npos || script.find("-l " + option.substr(2)) != std::string::npos;
            EXPECT_TRUE(named) << subcommand << " " << option;
        }
    }
    for (const char* quality : {"highest", "p2160", "p1080", "p720", "p480", "audioOnly"})
        EXPECT_NE(script.find(quality), std::string::npos) << quality;
}

INSTANTIATE_TEST_SUITE_P(Shells,
                         Completion,
                         testing::Values("bash/tallowin-cli", "zsh/_tallowin-cli", "fish/tallowin-cli.fish"));

struct BashCase {
    std::vector<std::string> words; // the last one is the word being completed
    std::string candidates;         // one a line
};

class BashCompletion : public testing::TestWithParam<BashCase> {};

TEST_P(BashCompletion, CompletesTheWordForItsPosition) {
    const BashCase& test = GetParam();
    std::string words;
    for (const std::string& word : test.words)
        words += " '" + word + "'";
    const std::string script = "source '" + (resources() / "completions/bash/tallowin-cli").string() +
                               "'; COMP_WORDS=(" + words + "); COMP_CWORD=" + std::to_string(test.words.size() - 1) +
                               "; _tallowin_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const CliResult result = runProgram("/bin/bash", {"--norc", "-c", script});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, test.candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Positions,
    BashCompletion,
    testing::Values(BashCase{{"tallowin-cli", "d"}, "download\n"},
                    BashCase{{"tallowin-cli", "--v"}, "--version\n"},
                    BashCase{{"tallowin-cli", "status", "--"}, "--json\n--help\n"},
                    BashCase{{"tallowin-cli", "download", "--quality", "p"}, "p2160\np1080\np720\np480\n"},
                    BashCase{{"tallowin-cli", "download", "--no"}, "--no-force-mp4\n"},
                    BashCase{{"tallowin-cli", "download", "--cookies-from-browser", "ch"}, "chrome\nchromium\n"},
                    BashCase{{"tallowin-cli", "update-ytdlp", "--"}, "--help\n"}),
    [](const testing::TestParamInfo<BashCase>& test) { return "case" + std::to_string(test.index); });

// Width and height from a PNG's IHDR chunk (big-endian, right after the signature and chunk header).
std::pair<std::uint32_t, std::uint32_t> pngSize(const fs::path& file) {
    const std::string bytes = contents(file);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto word = [&bytes](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {word(16), word(20)};
}

TEST(Icons, EveryRenditionIsAPngOfItsSize) {
    const fs::path hicolor = resources() / "icons/hicolor";
    EXPECT_TRUE(fs::is_regular_file(hicolor / "scalable/apps/org.tallowin.Tallowin.svg"));
    for (std::uint32_t size : {16u, 24u, 32u, 48u, 64u, 128u, 256u, 512u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const auto [width, height] = pngSize(hicolor / folder / "apps/org.tallowin.Tallowin.png");
        EXPECT_EQ(width, size) << folder;
        EXPECT_EQ(height, size) << folder;
    }
}

TEST(Licenses, IndexNamesEveryComponentWithAnExistingText) {
    const fs::path folder = resources() / "licenses";
    const auto index = nlohmann::json::parse(contents(folder / "index.json"));
    std::set<std::string> names;
    for (const auto& entry : index) {
        const std::string name = entry.at("name");
        names.insert(name);
        EXPECT_FALSE(entry.at("license").get<std::string>().empty()) << name;
        EXPECT_GT(fs::file_size(folder / entry.at("file").get<std::string>()), 200u) << name;
        EXPECT_TRUE(entry.contains("version") != entry.contains("versionCommand")) << name;
        if (entry.contains("versionCommand")) {
            const fs::path tool = Sandbox::packageRoot() / entry.at("versionCommand").at(0).get<std::string>();
            EXPECT_EQ(::access(tool.c_str(), X_OK), 0) << tool;
        }
    }
    EXPECT_EQ(names,
              (std::set<std::string>{
                  "Tallowin", "yt-dlp", "yt-dlp's HTTP libraries", "FFmpeg", "deno", "Qt", "yt-dlp release key"}));
}

} // namespace
