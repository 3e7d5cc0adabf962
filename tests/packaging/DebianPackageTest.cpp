// The Debian package, built by the script `make deb` runs, checked by the validators a
// distribution would run, then unpacked into a temporary root and run from there.
#include "support/CliRun.h"
#include "support/LocalHttpServer.h"
#include "support/MediaRecipes.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Runs a program found on PATH, with our environment; the program's messages end up in failures.
CliResult run(const std::vector<std::string>& words, std::chrono::seconds timeout = 300s) {
    return runProgram("/usr/bin/env", words, {}, timeout);
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The unpacked package's command, started the way a user starts it: found from its own location,
// not through the tests' package root override.
CliResult runUnpacked(const fs::path& executable, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"-u", "TALLOWIN_PACKAGE_ROOT", executable.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return runProgram("/usr/bin/env", words, {}, 180s);
}

// Every file and link under a folder, by its path relative to it; zsh's folder outside /usr as in it.
std::set<std::string> filesUnder(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory() || entry.is_symlink())
            files.insert(std::regex_replace(
                fs::relative(entry.path(), folder).string(), std::regex("site-functions"), "vendor-completions"));
    return files;
}

TEST(DebianPackage, BuildsValidatesInstallsAndRuns) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    const fs::path output = Sandbox::makeTempFolder("deb");
    // gzip instead of xz: the same package, built in a fraction of the time.
    const CliResult built = run({TALLOWIN_SOURCE_DIR "/scripts/build-deb",
                                 "--package",
                                 Sandbox::packageRoot().string(),
                                 "--output",
                                 output.string(),
                                 "--compression",
                                 "gzip"},
                                600s);
    ASSERT_EQ(built.exitStatus, 0) << built.err;
    const fs::path deb = trimmed(built.out);
    const std::string arch = trimmed(run({"dpkg", "--print-architecture"}).out);
    EXPECT_EQ(deb, output / ("tallowin_" TALLOWIN_PROJECT_VERSION "_" + arch + ".deb"));
    ASSERT_TRUE(fs::is_regular_file(deb));

    // Layout: every path a desktop and the package's own root detection rely on, all owned by root.
    const CliResult listing = run({"dpkg-deb", "-c", deb.string()});
    ASSERT_EQ(listing.exitStatus, 0) << listing.err;
    std::vector<std::string> expected{
        "./usr/bin/tallowin -> ../lib/tallowin/Contents/bin/tallowin",
        "./usr/bin/tallowin-cli -> ../lib/tallowin/Contents/bin/tallowin-cli",
        "./usr/lib/tallowin/Contents/bin/tallowin\n",
        "./usr/lib/tallowin/Contents/bin/tallowin-cli\n",
        "./usr/lib/tallowin/Contents/Helpers/yt-dlp\n",
        "./usr/lib/tallowin/Contents/Helpers/ffmpeg\n",
        "./usr/lib/tallowin/Contents/Helpers/ffprobe\n",
        "./usr/lib/tallowin/Contents/Helpers/deno\n",
        "./usr/lib/tallowin/Contents/Resources/yt-dlp/yt_dlp/__main__.py\n",
        "./usr/lib/tallowin/Contents/Resources/licenses/index.json\n",
        "./usr/lib/tallowin/Contents/Resources/keys/yt-dlp-release-signing.gpg\n",
        "./usr/share/applications/org.tallowin.Tallowin.desktop\n",
        "./usr/share/metainfo/org.tallowin.Tallowin.metainfo.xml\n",
        "./usr/share/icons/hicolor/scalable/apps/org.tallowin.Tallowin.svg\n",
        "./usr/share/man/man1/tallowin.1.gz\n",
        "./usr/share/man/man1/tallowin-cli.1.gz\n",
        "./usr/share/bash-completion/completions/tallowin-cli\n",
        "./usr/share/zsh/vendor-completions/_tallowin-cli\n",
        "./usr/share/fish/vendor_completions.d/tallowin-cli.fish\n",
        "./usr/share/doc/tallowin/copyright\n",
        "./usr/share/doc/tallowin/changelog.gz\n",
    };
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        expected.push_back("./usr/share/icons/hicolor/" + folder + "/apps/org.tallowin.Tallowin.png\n");
    }
    for (const std::string& path : expected)
        EXPECT_NE(listing.out.find(path), std::string::npos) << path;
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(line.find(" root/root "), std::string::npos) << line;

    const std::string depends = run({"dpkg-deb", "-f", deb.string(), "Depends"}).out;
    for (const char* package : {"libc6", "libqt6widgets6", "libavcodec", "python3", "libqt6svg6", "gpgv"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    EXPECT_EQ(run({"dpkg-deb", "-f", deb.string(), "Recommends"}).out, "bash-completion, python3-secretstorage\n");

    const fs::path root = Sandbox::makeTempFolder("root");
    ASSERT_EQ(run({"dpkg-deb", "-x", deb.string(), root.string()}).exitStatus, 0);

    // make install lays out the same files under its prefix, but for what only a Debian package carries.
    const fs::path installed = Sandbox::makeTempFolder("install");
    const std::string script = TALLOWIN_SOURCE_DIR "/scripts/install-package";
    const CliResult install =
        run({script, "--destdir", installed.string(), "--package", Sandbox::packageRoot().string()});
    ASSERT_EQ(install.exitStatus, 0) << install.err;
    std::set<std::string> debFiles = filesUnder(root / "usr");
    EXPECT_EQ(debFiles.erase("share/doc/tallowin/changelog.gz") + debFiles.erase("share/lintian/overrides/tallowin"),
              2u);
    EXPECT_EQ(filesUnder(installed / "usr/local"), debFiles);

    // The validators a distribution runs on such a package.
    const CliResult desktop =
        run({"desktop-file-validate", (root / "usr/share/applications/org.tallowin.Tallowin.desktop").string()});
    EXPECT_EQ(desktop.exitStatus, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out + desktop.err, ""); // not even a hint
    const CliResult appstream = run({"appstreamcli",
                                     "validate",
                                     "--no-net",
                                     (root / "usr/share/metainfo/org.tallowin.Tallowin.metainfo.xml").string()});
    EXPECT_EQ(appstream.exitStatus, 0) << appstream.out << appstream.err;
    const CliResult lintian = run({"lintian", "--fail-on", "error,warning", deb.string()}, 600s);
    EXPECT_EQ(lintian.exitStatus, 0) << lintian.out << lintian.err;

    // Run from the unpacked root, directly and through the /usr/bin link: the package root is found
    // two folders above the executable's real location.
    const fs::path home = fs::canonical(root / "usr/lib/tallowin");
    for (const fs::path& cli : {root / "usr/lib/tallowin/Contents/bin/tallowin-cli", root / "usr/bin/tallowin-cli"}) {
        const CliResult status = runUnpacked(cli, {"status", "--json"});
        ASSERT_EQ(status.exitStatus, 0) << cli << status.err;
        const auto json = nlohmann::json::parse(status.out);
        EXPECT_EQ(json.at("active").at("path"), (home / "Contents/Helpers/yt-dlp").string()) << cli;
        EXPECT_FALSE(json.at("bundledVersion").is_null()) << cli;
        for (const char* tool : {"ffmpeg", "ffprobe", "deno"})
            EXPECT_FALSE(json.at(tool).is_null()) << cli << " " << tool;
    }

    // One real download of a small clip made by the unpacked ffmpeg, from 127.0.0.1.
    const fs::path media = Sandbox::makeTempFolder("media");
    const CliResult made =
        runProgram((home / "Contents/Helpers/ffmpeg").string(), h264ClipArguments((media / "clip.mp4").string()));
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    LocalHttpServer server(media);
    const CliResult download =
        runUnpacked(root / "usr/bin/tallowin-cli", {"download", "--json", server.baseUrl() + "/clip.mp4"});
    ASSERT_EQ(download.exitStatus, 0) << download.err;
    const auto json = nlohmann::json::parse(download.out);
    EXPECT_EQ(json.at("name"), "clip.mp4");
    EXPECT_GT(fs::file_size(json.at("path").get<std::string>()), 1000u);
}

} // namespace
