// The download pipeline with the shipped yt-dlp, ffprobe and ffmpeg against faults met in the
// field: a user's own yt-dlp configuration, a page with several videos, transfers that break, odd
// folder names, and audio-only links.
#include "download/DownloadError.h"
#include "download/VideoDownloader.h"
#include "platform/Platform.h"

#include "ServedMediaTest.h"
#include "support/CliRun.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>

namespace fs = std::filesystem;

namespace {

class DownloadFaults : public ServedMediaTest {
protected:
    static std::vector<fs::path> entriesOf(const fs::path& folder) {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(folder))
            entries.push_back(entry.path());
        return entries;
    }

    // yt-dlp's partial and fragment files anywhere in the cache.
    static bool anyPartialFile() {
        for (const auto& entry : fs::recursive_directory_iterator(VideoDownloader::downloadsDirectory()))
            if (entry.path().filename().string().find(".part") != std::string::npos)
                return true;
        return false;
    }

    static std::string contentsOf(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// Three clips of different lengths, so that their bytes differ, on one page.
fs::path pageWithThreeVideos() {
    const fs::path folder = MediaFixtures::folder() / "page";
    if (!fs::exists(folder / "index.html")) {
        fs::create_directories(folder);
        for (int seconds = 1; seconds <= 3; ++seconds) {
            const std::string duration = std::to_string(seconds);
            // ffmpeg options stay beside their values.
            // clang-format off
            MediaFixtures::makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc=duration=" + duration + ":size=160x120:rate=10",
                                           "-f", "lavfi", "-i", "sine=duration=" + duration, "-c:v", "libx264",
                                           "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest",
                                           (folder / ("v" + duration + ".mp4")).string()});
            // clang-format on
        }
        writeText(folder / "index.html",
                  "<html><head><title>Three videos</title></head><body>\n"
                  "<video src=\"v1.mp4\"></video>\n<video src=\"v2.mp4\"></video>\n<video src=\"v3.mp4\"></video>\n"
                  "</body></html>\n");
    }
    return folder;
}

struct ConfigRow {
    const char* name;
    std::string config; // what the user's own config file holds; MARKER is a path of the test's
};

inline void PrintTo(const ConfigRow& row, std::ostream* out) {
    *out << row.name;
}

class UserConfiguration : public DownloadFaults, public testing::WithParamInterface<ConfigRow> {};

} // namespace

TEST_P(UserConfiguration, DoesNotReachOurRuns) {
    const fs::path home = Sandbox::makeTempFolder("home");
    const fs::path marker = home / "exec-ran";
    std::string config = GetParam().config;
    if (const auto at = config.find("MARKER"); at != std::string::npos)
        config.replace(at, 6, marker.string());
    writeText(home / ".config" / "yt-dlp" / "config", config);
    writeText(home / "yt-dlp.conf", config);
    ScopedEnv homeVariable("HOME", home.string());
    ScopedEnv configHome("XDG_CONFIG_HOME", std::nullopt);

    MediaFixtures::fixture("clip.mp4");
    const DownloadedVideo video = VideoDownloader::download(url("/clip.mp4"), VideoQuality::highest, true, false);
    EXPECT_EQ(video.fileURL.extension(), ".mp4");
    EXPECT_EQ(MediaFixtures::streamsOf(video.fileURL).video, "h264");
    EXPECT_FALSE(fs::exists(marker)) << "the user's --exec ran";
    EXPECT_EQ(entriesOf(video.fileURL.parent_path()), std::vector<fs::path>{video.fileURL});
}

INSTANTIATE_TEST_SUITE_P(Files,
                         UserConfiguration,
                         testing::Values(ConfigRow{"skipDownload", "--skip-download\n"},
                                         ConfigRow{"extractAudio", "-x\n"},
                                         ConfigRow{"exec", "--exec \"touch MARKER\"\n"}),
                         [](const testing::TestParamInfo<ConfigRow>& test) { return std::string(test.param.name); });

TEST_F(DownloadFaults, APageWithSeveralVideosGivesItsFirstOnly) {
    const fs::path page = pageWithThreeVideos();
    const DownloadedVideo video =
        VideoDownloader::download(url("/page/index.html"), VideoQuality::highest, false, false);
    EXPECT_EQ(entriesOf(video.fileURL.parent_path()), std::vector<fs::path>{video.fileURL});
    EXPECT_EQ(contentsOf(video.fileURL), contentsOf(page / "v1.mp4")) << video.fileURL;
}

namespace {

struct BrokenTransferRow {
    const char* name;
    HttpRoute route;
};

inline void PrintTo(const BrokenTransferRow& row, std::ostream* out) {
    *out << row.name;
}

HttpRoute breakingRoute(long long closeAfter, long long stallAfter) {
    HttpRoute route;
    route.bodyFile = MediaFixtures::folder() / "big.bin";
    route.headers["Content-Type"] = "video/mp4";
    route.closeAfterBytes = closeAfter;
    route.stallAfterBytes = stallAfter;
    return route;
}

class BrokenTransfer : public DownloadFaults, public testing::WithParamInterface<BrokenTransferRow> {};

} // namespace

TEST_P(BrokenTransfer, FailsWithYtdlpsTextAndDoesNotHang) {
    const fs::path body = MediaFixtures::folder() / "big.bin";
    if (!fs::exists(body))
        writeText(body, std::string(3'000'000, 'v'));
    s_server->route("/broken.mp4", GetParam().route);

    const auto started = std::chrono::steady_clock::now();
    try {
        VideoDownloader::download(url("/broken.mp4"), VideoQuality::highest, true, false);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::downloadFailed);
        // yt-dlp puts its text after a carriage return that follows the "ERROR:" prefix.
        EXPECT_TRUE(error.payload().starts_with("[download] Got error: ")) << error.what();
    }
    // Before --socket-timeout and --retries a stall took about 230 s; this only proves "no hang".
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(170));
    EXPECT_FALSE(anyPartialFile());
}

INSTANTIATE_TEST_SUITE_P(Routes,
                         BrokenTransfer,
                         testing::Values(BrokenTransferRow{"closedMidFile", breakingRoute(100'000, -1)},
                                         BrokenTransferRow{"stalledMidFile", breakingRoute(-1, 100'000)}),
                         [](const testing::TestParamInfo<BrokenTransferRow>& test) {
                             return std::string(test.param.name);
                         });

namespace {

// true: an HLS stream of endless segments, several in flight; false: one endless file.
class LargerThanTheDisk : public DownloadFaults, public testing::WithParamInterface<bool> {};

} // namespace

TEST_P(LargerThanTheDisk, StopsAboveItsFloorAndLeavesTheDiskAsItWas) {
    const fs::path disk = Sandbox::makeTempFolder("small");
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64m") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here: " << std::strerror(errno);
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    // Ballast leaves 8 MiB free: the floor (2 % of 64 MiB) comes within seconds at about 1.3 MB/s.
    std::ofstream(disk / "ballast") << std::string(fs::space(disk).available - 8 * 1024 * 1024, 'b');
    const std::uintmax_t before = fs::space(disk).available;
    HttpRoute huge = breakingRoute(-1, -1); // no length, as an endless body, and more than is free
    huge.bodyFile = MediaFixtures::folder() / "larger-than-free.bin";
    writeText(huge.bodyFile, std::string(16 * 1024 * 1024, 'v'));
    huge.omitLength = true;
    huge.secondsPerChunk = 0.05;
    // Fragmented: four segments, each this body (one route: the query is ignored), fetched at once.
    writeText(MediaFixtures::folder() / "fill.m3u8",
              "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nsegment.ts?1\n#EXTINF:2,\nsegment.ts?2\n#EXTINF:2,\n"
              "segment.ts?3\n#EXTINF:2,\nsegment.ts?4\n#EXT-X-ENDLIST\n");
    s_server->route(GetParam() ? "/segment.ts" : "/huge.mp4", huge);
    ScopedEnv cacheHome("XDG_CACHE_HOME", (disk / "cache").string());
    const CliResult result =
        runCli({"download", url(GetParam() ? "/fill.m3u8" : "/huge.mp4")}, {}, std::chrono::seconds(60));
    EXPECT_EQ(result.exitStatus, 1);
    const fs::path staging = disk / "cache" / Platform::bundleIdentifier() / "Downloads";
    EXPECT_NE(result.err.find("Download stopped: the disk that holds " + staging.string() +
                              " is almost full, so the partial download was removed. Free some space and try again."),
              std::string::npos)
        << result.err;
    EXPECT_EQ(entriesOf(staging), std::vector<fs::path>{});
    EXPECT_GE(fs::space(disk).available + 64 * 1024, before) << "more than the resolver's versions file is left";
}

INSTANTIATE_TEST_SUITE_P(SingleFileAndFragments, LargerThanTheDisk, testing::Values(false, true), [](const auto& test) {
    return std::string(test.param ? "fragmented" : "singleFile");
});

TEST_F(DownloadFaults, ACopyToAFullDiskNamesTheCauseAndLeavesNothingThere) {
    const fs::path disk = Sandbox::makeTempFolder("tiny");
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here: " << std::strerror(errno);
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    writeText(MediaFixtures::folder() / "big.bin", std::string(3'000'000, 'v'));
    s_server->route("/three-megabytes.mp4", breakingRoute(-1, -1));
    const CliResult result =
        runCli({"download", "--no-force-mp4", "-o", (disk / "out").string(), url("/three-megabytes.mp4")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("No space left on device. It is still at "), std::string::npos) << result.err;
    EXPECT_EQ(entriesOf(disk / "out"), std::vector<fs::path>{});
}

// With http_proxy set the download goes through the proxy, which alone knows the host.
TEST_F(DownloadFaults, AProxyInTheEnvironmentCarriesTheDownload) {
    MediaFixtures::fixture("clip.mp4");
    ScopedEnv proxy("http_proxy", s_server->baseUrl());
    ScopedEnv noProxy("no_proxy", std::nullopt);
    const CliResult result = runCli({"download", "--no-force-mp4", "http://proxied.invalid/clip.mp4"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(s_server->requests().back().path, "http://proxied.invalid/clip.mp4");
}

// A link's user name and password go to its own site only: not across a redirect to another port,
// which is another origin, though the file behind it downloads all the same.
TEST_F(DownloadFaults, ALinksPasswordStaysWithItsOwnSite) {
    LocalHttpServer elsewhere(MediaFixtures::folder());
    MediaFixtures::fixture("clip.mp4");
    HttpRoute moved;
    moved.status = 302;
    moved.redirectTo = elsewhere.baseUrl() + "/clip.mp4";
    s_server->route("/moved.mp4", moved);
    const CliResult result =
        runCli({"download", "--no-force-mp4", "http://me:s3cret@" + s_server->baseUrl().substr(7) + "/moved.mp4"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(s_server->requests().back().headers.count("authorization"), 1u);
    ASSERT_FALSE(elsewhere.requests().empty());
    for (const LocalHttpServer::Request& request : elsewhere.requests())
        EXPECT_EQ(request.headers.count("authorization"), 0u) << request.path;
}

// A link's password and query string, and a site's escape sequences, as standard error and the
// journal (a stand-in socket in a mount namespace of its own) receive them.
TEST_F(DownloadFaults, SecretsAndEscapeSequencesReachNeitherStandardErrorNorTheJournal) {
    HttpRoute escaping = HttpRoute::answer(404, "gone");
    escaping.reason = "Gone\x1b]0;owned\x07\x1b[8m hidden";
    s_server->route("/escaping.mp4", escaping);
    writeText(MediaFixtures::folder() / "page.html", "<html><body>no video here</body></html>");
    const std::string secret = "http://me:s3cret@" + s_server->baseUrl().substr(7) + "/page.html?token=t0ken";
    const fs::path journal = Sandbox::makeTempFolder("journal") / "datagrams";
    const CliResult result = runProgram("/usr/bin/unshare",
                                        {"-m",
                                         TALLOWIN_TEST_SUPPORT_DIR "/journal_standin.py",
                                         journal.string(),
                                         cliPath().string(),
                                         "download",
                                         url("/escaping.mp4"),
                                         secret});
    if (!fs::exists(journal))
        GTEST_SKIP() << "no mount namespace here: " << result.err;
    EXPECT_EQ(result.exitStatus, 1);
    const std::string kept = contentsOf(journal);
    for (const std::string* text : {&result.err, &kept}) {
        EXPECT_NE(text->find("me:***@"), std::string::npos) << *text;
        EXPECT_NE(text->find("Gone"), std::string::npos) << *text;
        for (const char* hidden : {"s3cret", "\x1b", "\x07"})
            EXPECT_EQ(text->find(hidden), std::string::npos) << hidden << " in " << *text;
    }
    EXPECT_EQ(kept.find("t0ken"), std::string::npos) << kept;
}

namespace {

class OddFolderNames : public DownloadFaults, public testing::WithParamInterface<const char*> {};

// A package folder of that name whose Helpers link to the real tools.
fs::path packageCalled(const fs::path& folder) {
    const fs::path helpers = folder / "Contents" / "Helpers";
    fs::create_directories(helpers);
    for (const char* tool : {"yt-dlp", "ffmpeg", "ffprobe", "deno"})
        fs::create_symlink(Sandbox::helpers() / tool, helpers / tool);
    return folder;
}

} // namespace

// The cache folder (so the work folder) and the package folder (so the helpers) both get the name;
// tallowin-cli runs in a process of its own, so its folders are computed afresh.
TEST_P(OddFolderNames, NeverMoveWhereYtdlpWrites) {
    const fs::path root = Sandbox::makeTempFolder("odd") / GetParam();
    const fs::path cache = root / "cache";
    ScopedEnv cacheHome("XDG_CACHE_HOME", cache.string());
    ScopedEnv packageRoot("TALLOWIN_PACKAGE_ROOT", packageCalled(root / "Tallowin").string());
    MediaFixtures::fixture("dash/manifest.mpd");

    // Without Force MP4 the DASH renditions are merged by ffmpeg, found through --ffmpeg-location.
    const CliResult result = runCli({"download", url("/dash/manifest.mpd"), "--no-force-mp4"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string printed = result.out;
    while (!printed.empty() && printed.back() == '\n')
        printed.pop_back();
    const fs::path file(printed);
    EXPECT_EQ(file.parent_path().parent_path(), cache / Platform::bundleIdentifier() / "Downloads") << printed;
    ASSERT_TRUE(fs::is_regular_file(file)) << printed;
    EXPECT_EQ(entriesOf(file.parent_path()), std::vector<fs::path>{file}) << "nothing else, no helpers link";
    const auto streams = MediaFixtures::streamsOf(file);
    EXPECT_EQ(streams.video, "vp9");
    EXPECT_EQ(streams.audio, "aac");
}

INSTANTIATE_TEST_SUITE_P(Names,
                         OddFolderNames,
                         testing::Values("$HOME",
                                         "${PATH} and $USER",
                                         "~tilde",
                                         "100% it's \"quoted\"",
                                         "\u0412\u0438\u0434\u0435\u043e \u52d5\u753b with spaces"),
                         [](const testing::TestParamInfo<const char*>& test) {
                             return "name" + std::to_string(test.index);
                         });

namespace {

struct AudioRow {
    const char* name;
    std::string file;
    std::vector<std::string> codec; // ffmpeg's arguments for the audio
    std::string expectedAudio;
    bool wasConverted;
    bool wasRemuxed;
    bool coverPicture = false;
};

inline void PrintTo(const AudioRow& row, std::ostream* out) {
    *out << row.name;
}

class AudioLinks : public DownloadFaults, public testing::WithParamInterface<AudioRow> {};

} // namespace

TEST_P(AudioLinks, GiveAnM4aWithTheDefaults) {
    const AudioRow& row = GetParam();
    const fs::path source = MediaFixtures::folder() / "audio" / row.file;
    if (!fs::exists(source)) {
        fs::create_directories(source.parent_path());
        std::vector<std::string> arguments{"-f", "lavfi", "-i", "sine=frequency=440:duration=2"};
        if (row.coverPicture) {
            // ffmpeg options stay beside their values.
            // clang-format off
            arguments.insert(arguments.end(), {"-f", "lavfi", "-i", "testsrc=size=64x64:duration=0.1", "-frames:v", "1",
                                               "-map", "0:a", "-map", "1:v", "-c:v", "mjpeg",
                                               "-disposition:v", "attached_pic"});
            // clang-format on
        }
        arguments.insert(arguments.end(), row.codec.begin(), row.codec.end());
        arguments.push_back(source.string());
        MediaFixtures::makeWithFfmpeg(arguments);
    }

    const DownloadedVideo video =
        VideoDownloader::download(url("/audio/" + row.file), VideoQuality::highest, true, false);
    EXPECT_EQ(video.fileURL.extension(), ".m4a") << video.fileURL;
    EXPECT_EQ(video.wasConverted, row.wasConverted);
    EXPECT_EQ(video.wasRemuxed, row.wasRemuxed);
    const auto streams = MediaFixtures::streamsOf(video.fileURL);
    EXPECT_EQ(streams.video, std::nullopt);
    EXPECT_EQ(streams.audio, row.expectedAudio);
    EXPECT_EQ(entriesOf(video.fileURL.parent_path()), std::vector<fs::path>{video.fileURL});
}

INSTANTIATE_TEST_SUITE_P(
    Codecs,
    AudioLinks,
    testing::Values(AudioRow{"m4aWithAacKept", "tone.m4a", {"-c:a", "aac"}, "aac", false, false},
                    AudioRow{"mp3Copied", "tone.mp3", {"-c:a", "libmp3lame"}, "mp3", false, true},
                    AudioRow{"mp3WithCoverCopied", "cover.mp3", {"-c:a", "libmp3lame"}, "mp3", false, true, true},
                    AudioRow{"opusReencoded", "tone.opus", {"-c:a", "libopus"}, "aac", true, false}),
    [](const testing::TestParamInfo<AudioRow>& test) { return std::string(test.param.name); });

namespace {

struct FragmentRow {
    const char* name;
    std::vector<std::string> serverOptions; // for http_server.py
    const char* missingSegment;             // not served; "" for none
};

inline void PrintTo(const FragmentRow& row, std::ostream* out) {
    *out << row.name;
}

class FragmentedStream : public DownloadFaults, public testing::WithParamInterface<FragmentRow> {};

int videoPackets(const fs::path& file) {
    return std::atoi(ToolProcess::run(BundledTools::ffprobe(),
                                      {"-v",
                                       "error",
                                       "-count_packets",
                                       "-select_streams",
                                       "v:0",
                                       "-show_entries",
                                       "stream=nb_read_packets",
                                       "-of",
                                       "csv=p=0",
                                       file.string()})
                         .standardOutput.c_str());
}

} // namespace

// The HLS fixture (three segments) through tallowin-cli on a terminal (script(1)), whose activity
// line is seen too.
TEST_P(FragmentedStream, GivesEveryFrameOrNoFile) {
    const FragmentRow& row = GetParam();
    const fs::path served = Sandbox::makeTempFolder("served");
    fs::copy(MediaFixtures::fixture("hls/index.m3u8").parent_path(), served / "hls");
    if (*row.missingSegment)
        fs::remove(served / "hls" / row.missingSegment);
    LocalHttpServer server(served, row.serverOptions);
    const fs::path cache = Sandbox::makeTempFolder("cache");
    ScopedEnv cacheHome("XDG_CACHE_HOME", cache.string());
    const fs::path staging = cache / Platform::bundleIdentifier() / "Downloads";

    const std::string command = "'" + cliPath().string() + "' download " + server.baseUrl() + "/hls/index.m3u8";
    const CliResult result = runProgram("/usr/bin/script", {"-qec", command, "/dev/null"});
    if (*row.missingSegment) {
        EXPECT_EQ(result.exitStatus, 1) << result.out;
        EXPECT_EQ(result.out.find(staging.string()), std::string::npos) << "a path was printed: " << result.out;
        EXPECT_NE(result.out.find("A piece of the video stream could not be downloaded"), std::string::npos)
            << result.out;
        EXPECT_TRUE(!fs::exists(staging) || fs::is_empty(staging));
        return;
    }
    ASSERT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_NE(result.out.find("\r\033[KRetrying one fragment at a time\u2026"), std::string::npos) << result.out;
    // The refused attempt's folder is gone; the file is alone in its own, with every frame.
    ASSERT_EQ(entriesOf(staging).size(), 1u);
    const std::vector<fs::path> files = entriesOf(entriesOf(staging)[0]);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(result.out.find(files[0].string()), std::string::npos) << result.out;
    EXPECT_EQ(videoPackets(files[0]), videoPackets(served / "hls" / "index.m3u8"));
}

// Refused: requests beside the one being answered (held a second) are refused at once, eleven
// times over in far less than that second.
INSTANTIATE_TEST_SUITE_P(Hls,
                         FragmentedStream,
                         testing::Values(FragmentRow{"refusedInParallel", {"--one-at-a-time", "1"}, ""},
                                         FragmentRow{"segmentMissing", {}, "index1.ts"}),
                         [](const testing::TestParamInfo<FragmentRow>& test) { return std::string(test.param.name); });
