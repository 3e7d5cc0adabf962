#include "DownloadFakes.h"
#include "ReleaseService.h"
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Runs `tallowin-cli download ...` against the sandbox (the runner passes on only four variables,
// so env(1) hands the sandbox's locations to the command).
ToolProcessResult runDownload(const std::vector<std::string>& arguments,
                              const std::vector<std::string>& variables = {}) {
    std::vector<std::string> all{"TALLOWIN_PACKAGE_ROOT=" + Sandbox::packageRoot().string(),
                                 "XDG_CACHE_HOME=" + Sandbox::cacheHome().string(),
                                 "XDG_DATA_HOME=" + Sandbox::dataHome().string()};
    all.insert(all.end(), variables.begin(), variables.end());
    all.insert(all.end(), {cliPath().string(), "download"});
    all.insert(all.end(), arguments.begin(), arguments.end());
    return ToolProcess::run("/usr/bin/env", all);
}

class DownloadCommand : public testing::Test {
protected:
    void SetUp() override {
        DownloadFakes::installAll();
        DownloadFakes::clearRecords();
    }
};

struct RefusedRow {
    const char* name;
    std::vector<std::string> arguments;
    std::string message;
};

inline void PrintTo(const RefusedRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string schemeHint = " (links start with https:// or http://)";

class RefusedText : public DownloadCommand, public testing::WithParamInterface<RefusedRow> {};

} // namespace

TEST_P(RefusedText, SaysWhyAndRunsNothing) {
    const auto result = runDownload(GetParam().arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, GetParam().message + "\n");
    EXPECT_TRUE(DownloadFakes::recordedArguments("yt-dlp").empty()) << "yt-dlp ran";
}

INSTANTIATE_TEST_SUITE_P(
    BadInput,
    RefusedText,
    testing::Values(
        RefusedRow{
            "optionLike",
            {"-rf"},
            "tallowin-cli download: unknown option -rf\nRun \"tallowin-cli download --help\" for more information."},
        RefusedRow{"optionAfterSeparator", {"--", "--exec=touch x"}, "Not a usable URL: --exec=touch x" + schemeHint},
        RefusedRow{"noScheme", {"example.com/v"}, "Not a usable URL: example.com/v" + schemeHint},
        RefusedRow{"innerSpace", {"https://e.com/a b"}, "Not a usable URL: https://e.com/a b" + schemeHint},
        // Echoed without its escape sequence.
        RefusedRow{
            "controlCharacter", {"https://e.com/\x1b[2J"}, "Not a usable URL: https://e.com/\uFFFD[2J" + schemeHint},
        RefusedRow{"jsonIntoAFolderNotUtf8",
                   {"--json", "-o", "/nowhere/Vid\xe9os", "https://a.test/v"},
                   "--json cannot report a path in /nowhere/Vid\uFFFDos: the folder's name is not UTF-8 text. Choose "
                   "another folder with --output-dir, or leave out --json."},
        RefusedRow{
            "long", {std::string(100 * 1024, 'x')}, "Not a usable URL: " + std::string(100 * 1024, 'x') + schemeHint},
        RefusedRow{"none", {}, "A URL is required."},
        // A mistake in any link stops the call before the first download.
        RefusedRow{"secondUnusable", {"https://a.test/1", "a.test/2"}, "Not a usable URL: a.test/2" + schemeHint},
        // The browser is checked before any download, in yt-dlp's own syntax.
        RefusedRow{"unknownBrowser",
                   {"--cookies-from-browser", "Netscape:Default", "https://a.test/v"},
                   "Not a browser yt-dlp can sign in with: netscape. One of: brave, chrome, chromium, edge, firefox, "
                   "opera, safari, vivaldi, whale."},
        RefusedRow{"unknownKeyring",
                   {"--cookies-from-browser", "chromium+wallet", "https://a.test/v"},
                   "Not a keyring yt-dlp can read: wallet. One of: basictext, gnomekeyring, kwallet, kwallet5, "
                   "kwallet6."},
        RefusedRow{
            "unknownQuality",
            {"--quality", "1081p", "https://a.test/v"},
            "Not a quality: 1081p. One of: highest or best (\"Highest quality\"), p2160 or 2160 (\"4K\"), p1080 or "
            "1080 (\"1080p\"), p720 or 720 (\"720p\"), p480 or 480 (\"480p\"), audioOnly or audio (\"Audio "
            "only\")."}),
    [](const testing::TestParamInfo<RefusedRow>& test) { return std::string(test.param.name); });

TEST_F(DownloadCommand, HelpShowsTheTitleEveryParameterAndTheDefaults) {
    auto result = runDownload({"--help"});
    EXPECT_EQ(result.status, 0);
    // Each description appears whole once its wrapped lines are joined again.
    std::istringstream words(result.standardOutput);
    result.standardOutput.clear();
    for (std::string word; words >> word;)
        result.standardOutput += word + " ";
    for (const char* text :
         {"Download Video",
          "URL: A link to a video page or a direct link to a media file.",
          "Quality: Highest quality takes the best streams that fit the MP4 settings; 4K takes the best stream up to "
          "2160p even when it must be converted; 1080p, 720p and 480p cap the resolution and use less space. Audio "
          "only returns just the sound, as an M4A when Force MP4 is on.",
          "Force MP4: Deliver an MP4. Video this computer can play from an MP4 (H.264, HEVC, and AV1 where the "
          "graphics hardware decodes it) is repackaged in seconds without re-encoding; anything else, such as VP9, is "
          "converted to H.264 with ffmpeg.",
          "Compatible MP4 (H.264): Also re-encode AV1 video to H.264 so the file plays on older computers, phones, TVs "
          "and other devices. Slower, and larger files.",
          "Default: highest",
          "Default: on.",
          "Default: off.",
          "--no-force-mp4",
          "--json"}) {
        EXPECT_NE(result.standardOutput.find(text), std::string::npos) << text;
    }
}

TEST_F(DownloadCommand, PrintsThePathAloneWithTheDefaults) {
    DownloadFakes::installYtdlp(": > clip.webm; echo \"$PWD/clip.webm\"\n");
    const auto result = runDownload({"  https://a.test/v?x=1&y=$HOME \n"});
    ASSERT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    const fs::path printed = result.standardOutput.substr(0, result.standardOutput.size() - 1);
    EXPECT_EQ(result.standardOutput.back(), '\n');
    EXPECT_EQ(printed.parent_path().parent_path(), Sandbox::cacheHome() / "org.tallowin.Tallowin" / "Downloads");
    // Defaults: highest with Force MP4 on, so the file was probed; the trimmed URL went last.
    const auto arguments = DownloadFakes::recordedArguments("yt-dlp");
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(DownloadFakes::recordedLink(), "600 https://a.test/v?x=1&y=$HOME\n");
    EXPECT_EQ(arguments[arguments.size() - 4], "--format");
    EXPECT_TRUE(arguments[arguments.size() - 3].starts_with("bv*[vcodec~="));
    EXPECT_FALSE(DownloadFakes::recordedArguments("ffprobe").empty());
}

TEST_F(DownloadCommand, JsonDescribesTheFileAndOptionsReachThePipeline) {
    DownloadFakes::installYtdlp(": > 'a \"b\".mkv'; echo \"$PWD/a \\\"b\\\".mkv\"\n");
    DownloadFakes::installFfprobe(
        R"({"streams":[{"codec_type":"video","codec_name":"h264"},{"codec_type":"audio","codec_name":"aac"}]})");
    const auto result = runDownload({"--json", "--quality", "1080p", "--compatible-mp4", "https://a.test/v"});
    ASSERT_EQ(result.status, 0) << result.standardError;
    const auto json = nlohmann::json::parse(result.standardOutput);
    EXPECT_EQ(json.size(), 5u);
    EXPECT_EQ(json.at("name"), "a \"b\".mp4");
    EXPECT_EQ(fs::path(json.at("path").get<std::string>()).filename(), "a \"b\".mp4");
    EXPECT_TRUE(fs::exists(json.at("path").get<std::string>()));
    EXPECT_EQ(json.at("type"), "video/mp4");
    EXPECT_EQ(json.at("wasConverted"), false);
    EXPECT_EQ(json.at("wasRemuxed"), true);
    const auto arguments = DownloadFakes::recordedArguments("yt-dlp");
    EXPECT_TRUE(std::ranges::any_of(
        arguments, [](const std::string& argument) { return argument.find("[height<=1080]") != std::string::npos; }));

    // --no-force-mp4 hands the file on as yt-dlp left it, with the raw quality value.
    DownloadFakes::clearRecords();
    DownloadFakes::installYtdlp(": > a.webm\n");
    const auto plain = runDownload({"--json", "--no-force-mp4", "--quality", "audioOnly", "https://a.test/v"});
    ASSERT_EQ(plain.status, 0) << plain.standardError;
    EXPECT_EQ(nlohmann::json::parse(plain.standardOutput).at("type"), "video/webm");
    EXPECT_TRUE(DownloadFakes::recordedArguments("ffprobe").empty());
    const auto audioArguments = DownloadFakes::recordedArguments("yt-dlp");
    EXPECT_NE(std::find(audioArguments.begin(), audioArguments.end(), "--extract-audio"), audioArguments.end());
}

TEST_F(DownloadCommand, AFailureIsItsTextOnStandardErrorAndStatusOne) {
    DownloadFakes::installYtdlp("echo 'ERROR: [generic] Unsupported URL: https://a.test/v' >&2; exit 1\n");
    auto result = runDownload({"https://a.test/v"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError,
              "Download failed: [generic] Unsupported URL: https://a.test/v\n"
              "yt-dlp does not know how to save a video from this link.\n");

    fs::remove(Sandbox::helpers() / "ffprobe");
    result = runDownload({"https://a.test/v"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "Tallowin is missing its bundled ffprobe. Reinstall the app.\n");
}

TEST_F(DownloadCommand, InterruptEndsTheToolAndExitsWith130) {
    const fs::path marks = Sandbox::makeTempFolder("marks");
    // $PPID is the run's supervisor; its parent is the command itself.
    DownloadFakes::installYtdlp("cut -d' ' -f4 /proc/$PPID/stat > " +
                                DownloadFakes::shellQuoted((marks / "cli").string()) + "\nsleep 60 & echo $! > " +
                                DownloadFakes::shellQuoted((marks / "sleep").string()) + "\nwait\n");
    ToolProcessResult result;
    std::thread command([&] { result = runDownload({"https://a.test/v"}); });
    std::string pid;
    for (int i = 0; i < 400 && (pid.empty() || readFile(marks / "sleep").empty()); ++i) {
        std::this_thread::sleep_for(50ms);
        pid = readFile(marks / "cli");
    }
    ASSERT_FALSE(pid.empty());
    ::kill(std::stoi(pid), SIGINT);
    command.join(); // a command that ignored the signal would hold this for a minute
    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError.find("terminate"), std::string::npos) << result.standardError;
    std::string sleepPid = readFile(marks / "sleep");
    sleepPid.erase(sleepPid.find_last_not_of('\n') + 1);
    const std::string stat = readFile("/proc/" + sleepPid + "/stat");
    EXPECT_TRUE(stat.empty() || stat.find(") Z ") != std::string::npos) << "the tool outlived the interrupt";
}

TEST_F(DownloadCommand, OnATerminalShowsTheActivityAndClearsItBeforeThePath) {
    // script(1) gives the command a terminal; what the terminal showed comes back on its output.
    DownloadFakes::installYtdlp("sleep 1.5; : > clip.webm\n");
    DownloadFakes::installFfprobe(R"({"streams":[{"codec_type":"video","codec_name":"vp9"}]})");
    DownloadFakes::installFfmpeg("sleep 1.5; : > \"$out\"\n");
    const std::string command = DownloadFakes::shellQuoted(cliPath().string()) + " download https://a.test/v";
    // script(1) gives the command a terminal; it inherits the sandbox's folders from us.
    const CliResult result = runProgram("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    const std::string& shown = result.out;
    const auto downloading = shown.find("\r\033[KDownloading\u2026 0:00 elapsed");
    const auto converting = shown.find("\r\033[KConverting to MP4\u2026 0:0");
    const auto path = shown.find(Sandbox::cacheHome().string());
    ASSERT_NE(downloading, std::string::npos) << shown;
    ASSERT_NE(converting, std::string::npos) << shown;
    ASSERT_NE(path, std::string::npos) << shown;
    EXPECT_LT(downloading, converting);
    // The line is erased before the path is printed, so the path stands alone on its line.
    EXPECT_EQ(shown.rfind("\r\033[K", path) + 4, path) << shown;
}

TEST_F(DownloadCommand, OnATerminalTheActivityCarriesTheProgress) {
    DownloadFakes::installYtdlp("echo 'tallowin-progress formats 1+2'\n"
                                "echo 'tallowin-progress download downloading 12300000 45600000 NA 2100000.0 20 1'\n"
                                "sleep 0.3; echo 'tallowin-progress postprocess started Merger' >&2; sleep 0.3\n"
                                ": > clip.webm; echo \"$PWD/clip.webm\"\n");
    DownloadFakes::installFfprobe(
        R"({"streams":[{"codec_type":"video","codec_name":"vp9"}],"format":{"duration":"2.0"}})");
    DownloadFakes::installFfmpeg("sleep 0.3; printf 'out_time_us=1000000\\nprogress=continue\\n'; sleep 0.3\n"
                                 ": > \"$out\"\n");
    const std::string command = DownloadFakes::shellQuoted(cliPath().string()) + " download https://a.test/v";
    // script(1) gives the command a terminal; it inherits the sandbox's folders from us.
    const CliResult result = runProgram("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    const std::string& shown = result.out;
    std::size_t from = 0;
    for (const char* text : {"\r\033[KDownloading\u2026 26% \u00b7 12.3 of 45.6 MB \u00b7 2.1 MB/s \u00b7 0:20 left "
                             "\u00b7 stream 1 of 2 \u00b7 0:0",
                             "\r\033[KMerging\u2026 0:0",
                             "\r\033[KChecking the file\u2026 0:0",
                             "\r\033[KConverting to MP4\u2026 0% \u00b7 0:0",
                             "\r\033[KConverting to MP4\u2026 50% \u00b7 0:0"}) {
        const auto at = shown.find(text, from);
        ASSERT_NE(at, std::string::npos) << text << " after " << from << " in " << shown;
        from = at;
    }
}

TEST_F(DownloadCommand, OffATerminalProgressShowsNowhere) {
    DownloadFakes::installYtdlp("echo 'tallowin-progress download downloading 1 2 NA NA NA 0'\n"
                                ": > clip.mp4; echo \"$PWD/clip.mp4\"\n"
                                "echo 'tallowin-progress postprocess started Merger' >&2\n");
    DownloadFakes::installFfprobe(
        R"({"streams":[{"codec_type":"video","codec_name":"h264"}],"format":{"duration":"2.0"}})");
    const auto result = runDownload({"https://a.test/v"});
    ASSERT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput.find("tallowin-progress"), std::string::npos) << result.standardOutput;
    EXPECT_EQ(result.standardOutput.find('\n'), result.standardOutput.size() - 1) << result.standardOutput;
}

// A yt-dlp whose extractor no longer matches the site, as yt-dlp reports it.
const std::string unexpectedError = "echo 'ERROR: [ie] 7: Unable to extract title; please report this issue on  "
                                    "https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the appropriate issue "
                                    "template. Confirm you are on the latest version using  yt-dlp -U' >&2; exit 1\n";
const std::string failed = "Download failed: [ie] 7: Unable to extract title\n"
                           "yt-dlp could not read this page. The site may have changed.\n";
const std::string updating = "Downloading yt-dlp\u2026\nVerifying the download\u2026\n";
const std::string updated = updating + "Installing\u2026\nUpdated to yt-dlp 2026.12.01.\n";
const std::string nothingNewer = updating + "yt-dlp 2025.01.15 is already the latest release.\n";
const std::string hint =
    "yt-dlp 2025.01.15 is N days old; sites change often. Run `tallowin-cli update-ytdlp` and try again.\n";

static std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%Y.%m.%d", std::gmtime(&now));
    return text;
}

struct AdviceRow {
    const char* name;
    std::string version;  // of the shipped copy
    bool retry;           // --update-and-retry
    std::string released; // the release service's latest stable; empty: it answers nothing
    int status;
    std::string err; // "N" stands for the days
};

class UpdateAdviceText : public DownloadCommand, public testing::WithParamInterface<AdviceRow> {};

TEST_P(UpdateAdviceText, HintsOrUpdatesAndTriesAgain) {
    const AdviceRow& row = GetParam();
    fs::remove_all(BundledTools::supportDirectory());
    DownloadFakes::installYtdlp(unexpectedError, row.version);
    ReleaseService service;
    if (!row.released.empty()) {
        service.answerTag(YtdlpChannel::stable(), row.released);
        service.publishAsset(YtdlpChannel::stable(),
                             "#!/bin/sh\nif [ \"$1\" = --version ]; then echo " + row.released +
                                 "; exit 0; fi\n: > new.webm; echo \"$PWD/new.webm\"\n");
    }
    std::vector<std::string> arguments{"--no-force-mp4", "https://a.test/v"};
    if (row.retry)
        arguments.insert(arguments.begin(), "--update-and-retry");
    const auto result = runDownload(arguments,
                                    {"TALLOWIN_RELEASES_API_URL=" + service.baseUrl(),
                                     "TALLOWIN_RELEASES_WEB_URL=" + service.baseUrl(),
                                     "TALLOWIN_RELEASES_KEYRING=" + ReleaseSigner::shared().keyring().string()});
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(std::regex_replace(result.standardError, std::regex("is [0-9]+ days old"), "is N days old"), row.err);
    // Only the retry with the new copy succeeds, and it made the file.
    EXPECT_EQ(result.standardOutput.ends_with("/new.webm\n"), row.status == 0) << result.standardOutput;
}

INSTANTIATE_TEST_SUITE_P(
    OldAndFreshCopies,
    UpdateAdviceText,
    testing::Values(AdviceRow{"oldCopyIsHinted", "2025.01.15", false, "", 1, failed + hint},
                    AdviceRow{"freshCopyIsNot", today(), false, "", 1, failed},
                    AdviceRow{"retry", "2025.01.15", true, "2026.12.01", 0, failed + updated},
                    // The check found nothing newer: no second try, and no hint after it.
                    AdviceRow{
                        "retryNothingNewer", "2025.01.15", true, "2025.01.15", 1, failed + nothingNewer + failed}),
    [](const auto& test) { return std::string(test.param.name); });
