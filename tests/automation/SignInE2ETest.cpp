// Real browsers sign in to a site on 127.0.0.1 that answers 403 without its session cookie; the
// built tallowin-cli with the shipped yt-dlp then downloads with their sign-in.
#include "MediaFixtures.h"
#include "download/BrowserSignIn.h"
#include "support/CliRun.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct SignInRow {
    const char* name;
    const char* program;   // the browser that signs in
    bool keyring;          // Chromium keeps its key in GNOME Keyring on a private session bus
    std::string browser;   // --cookies-from-browser's value...
    bool byFolder;         // ...followed by ":" and the profile's folder
    std::string profile;   // below the home folder
    std::string suggested; // how the next step goes on after the option, without it
};

class SignIn : public testing::TestWithParam<SignInRow> {};

// Bounded wait for a file that a daemon makes once it listens.
bool appears(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(50ms);
    return fs::exists(path);
}

} // namespace

TEST_P(SignIn, TheBrowsersSessionGetsTheFile) {
    const SignInRow& row = GetParam();
    ASSERT_TRUE(Sandbox::usesRealPackage());
    const std::string keyringTools = "command -v gnome-keyring-daemon && /usr/bin/python3 -c 'import secretstorage'";
    for (const std::string& check : {"command -v " + std::string(row.program), row.keyring ? keyringTools : "true"})
        if (runProgram("/bin/sh", {"-c", check}).exitStatus != 0)
            GTEST_SKIP() << "Not installed: " << check << " failed (scripts/bootstrap --test-tools installs it)";

    const fs::path home = Sandbox::makeTempFolder("home");
    const fs::path profile = home / row.profile;
    fs::create_directories(profile);
    const std::string secret = "s" + std::to_string(std::random_device()()) + std::to_string(::getpid());
    LocalHttpServer server;
    HttpRoute login = HttpRoute::answer(200, "<html><body>Signed in</body></html>");
    login.headers = {{"Content-Type", "text/html"}, {"Set-Cookie", "session=" + secret + "; Path=/; Max-Age=86400"}};
    server.route("/login", login);
    HttpRoute clip;
    clip.bodyFile = MediaFixtures::fixture("clip.mp4");
    clip.headers = {{"Content-Type", "video/mp4"}};
    clip.requireCookie = "session=" + secret;
    server.route("/clip.mp4", clip);

    // The session: a private bus with an unlocked keyring, or none at all.
    const fs::path run = Sandbox::makeTempFolder("run");
    fs::permissions(run, fs::perms::owner_all);
    const std::string bus = "unix:path=" + (run / "bus").string();
    std::vector<std::string> session{
        "-u", "DBUS_SESSION_BUS_ADDRESS", "-u", "XDG_CONFIG_HOME", "HOME=" + home.string()};
    if (row.keyring)
        session.insert(
            session.end(),
            {"DBUS_SESSION_BUS_ADDRESS=" + bus, "XDG_RUNTIME_DIR=" + run.string(), "XDG_CURRENT_DESKTOP=GNOME"});
    auto env = [&](std::vector<std::string> command) {
        command.insert(command.begin(), session.begin(), session.end());
        return command;
    };
    std::optional<SessionProgram> busDaemon, keyring;
    if (row.keyring) {
        busDaemon.emplace("/usr/bin/env", env({"dbus-daemon", "--session", "--nofork", "--address=" + bus}));
        ASSERT_TRUE(appears(run / "bus")) << busDaemon->err();
        // Its password on standard input unlocks the login keyring it makes.
        std::vector<std::string> words =
            env({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"});
        words.insert(words.begin(), {"-c", "printf pw | exec env \"$@\"", "sh"});
        keyring.emplace("/bin/sh", words);
        ASSERT_TRUE(appears(run / "keyring/control")) << keyring->err();
    }

    // The browser's own cache and data go below its home, apart from Tallowin's.
    std::vector<std::string> browser = env({row.program, "--headless"});
    browser.insert(browser.begin(), {"-u", "XDG_CACHE_HOME", "-u", "XDG_DATA_HOME"});
    if (std::string(row.program) == "chromium") // its sandbox refuses root
        browser.insert(browser.end(),
                       {"--user-data-dir=" + profile.string(),
                        row.keyring ? "--password-store=gnome-libsecret" : "--password-store=basic",
                        "--no-sandbox",
                        "--dump-dom",
                        server.baseUrl() + "/login"});
    else
        browser.insert(
            browser.end(),
            {"--profile", profile.string(), "--screenshot", (home / "shot.png").string(), server.baseUrl() + "/login"});
    {
        SessionProgram signingIn("/usr/bin/env", browser);
        ASSERT_EQ(signingIn.waitFor(120s), 0) << signingIn.err();
    } // whatever it left running goes with its session

    const std::string option = row.browser + (row.byFolder ? ":" + profile.string() : "");
    const std::string clipUrl = server.baseUrl() + "/clip.mp4";
    // As served (no MP4 step, no metadata pass), so the bytes tell that the site's own file came through.
    const CliResult signedIn =
        runProgram("/usr/bin/env",
                   env({cliPath().string(), "download", "--no-force-mp4", clipUrl, "--cookies-from-browser", option}));
    ASSERT_EQ(signedIn.exitStatus, 0) << signedIn.err;
    EXPECT_EQ(fs::file_size(signedIn.out.substr(0, signedIn.out.size() - 1)), fs::file_size(clip.bodyFile));

    const CliResult plain = runProgram("/usr/bin/env", env({cliPath().string(), "download", clipUrl}));
    EXPECT_EQ(plain.exitStatus, 1);
    EXPECT_NE(plain.err.find("then run again with --cookies-from-browser " + row.suggested), std::string::npos)
        << plain.err;
    // Only yt-dlp saw the cookie: none of our outputs or folders holds it.
    EXPECT_EQ((signedIn.out + signedIn.err + plain.out + plain.err).find(secret), std::string::npos);
    const std::vector<std::string> ours{"-rlF", secret, Sandbox::cacheHome().string(), Sandbox::dataHome().string()};
    EXPECT_EQ(runProgram("/bin/grep", ours).out, "");
}

INSTANTIATE_TEST_SUITE_P(
    RealBrowsers,
    SignIn,
    testing::Values(
        // A folder that yt-dlp would expand ("$HOME") and that has a space; yt-dlp would not look there.
        SignInRow{"chromium", "chromium", false, "chromium", true, "Chromium $HOME profile", "BROWSER ("},
        SignInRow{"chromiumKeyring", "chromium", true, "Chromium", false, ".config/chromium", "chromium\n"},
        SignInRow{
            "firefoxUsualPlace", "firefox-esr", false, "firefox", false, ".mozilla/firefox/x.default-esr", "firefox\n"},
        SignInRow{"firefoxFolder", "firefox-esr", false, "firefox", true, "ff $PATH", "BROWSER ("}),
    [](const testing::TestParamInfo<SignInRow>& test) { return std::string(test.param.name); });

TEST(SignInBrowsers, AreTheShippedYtdlpsOwn) {
    std::string list;
    for (const std::string& browser : BrowserSignIn::supportedBrowsers())
        list += (list.empty() ? "" : ", ") + browser;
    const CliResult result = runProgram((Sandbox::helpers() / "yt-dlp").string(), {"--cookies-from-browser", "x"});
    EXPECT_NE(result.err.find("Supported browsers are: " + list + "\n"), std::string::npos) << result.err;
}
