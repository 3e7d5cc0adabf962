// Real browsers sign in to a site on 127.0.0.1 that answers 403 without its session cookie; the
// built tallowin-cli with the shipped yt-dlp then downloads with their sign-in.
#include "MediaFixtures.h"
#include "download/BrowserSignIn.h"
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <ostream>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct SignInRow {
    const char* name;
    const char* program;   // the browser that signs in
    bool keyring;          // Chromium keeps its key in GNOME Keyring on a private session bus
    std::string option;    // --cookies-from-browser's value; "{profile}" is the profile's folder
    std::string profile;   // below the home folder
    std::string suggested; // how the next step goes on after the option, without it
};

inline void PrintTo(const SignInRow& row, std::ostream* out) {
    *out << row.name;
}

class SignIn : public testing::TestWithParam<SignInRow> {};

bool installed(const std::string& program) {
    return runProgram("/bin/sh", {"-c", "command -v " + program}).exitStatus == 0;
}

// Bounded wait for a file that a daemon makes once it listens.
bool appears(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(50ms);
    return fs::exists(path);
}

bool holds(const fs::path& folder, const std::string& secret) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file() && readFile(entry.path()).find(secret) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST_P(SignIn, TheBrowsersSessionGetsTheFile) {
    const SignInRow& row = GetParam();
    ASSERT_TRUE(Sandbox::usesRealPackage());
    for (const std::string& program :
         {std::string(row.program), std::string(row.keyring ? "gnome-keyring-daemon" : "")})
        if (!program.empty() && !installed(program))
            GTEST_SKIP() << program << " is not installed (scripts/bootstrap --test-tools installs it)";
    if (row.keyring && runProgram("/usr/bin/python3", {"-c", "import secretstorage"}).exitStatus != 0)
        GTEST_SKIP() << "python3-secretstorage is not installed (scripts/bootstrap --test-tools installs it)";

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
    clip.headers["Content-Type"] = "video/mp4";
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
    std::optional<SessionProgram> busDaemon;
    std::optional<SessionProgram> keyring;
    if (row.keyring) {
        busDaemon.emplace("/usr/bin/env", env({"dbus-daemon", "--session", "--nofork", "--address=" + bus}));
        ASSERT_TRUE(appears(run / "bus")) << busDaemon->err();
        // Its password on standard input unlocks the login keyring it makes.
        std::vector<std::string> words{"-c", "printf pw | exec env \"$@\"", "sh"};
        for (const std::string& word :
             env({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"}))
            words.push_back(word);
        keyring.emplace("/bin/sh", words);
        ASSERT_TRUE(appears(run / "keyring/control")) << keyring->err();
    }

    const std::string loginUrl = server.baseUrl() + "/login";
    std::vector<std::string> browser{row.program, "--headless"};
    if (std::string(row.program) == "chromium") {
        browser.insert(browser.end(), {"--user-data-dir=" + profile.string(), "--dump-dom", loginUrl});
        browser.push_back(row.keyring ? "--password-store=gnome-libsecret" : "--password-store=basic");
        if (::geteuid() == 0)
            browser.push_back("--no-sandbox"); // Chromium's sandbox refuses root
    } else {
        browser.insert(browser.end(),
                       {"--profile", profile.string(), "--screenshot", (home / "shot.png").string(), loginUrl});
    }
    {
        // The browser's own cache and data go below its home, apart from Tallowin's.
        std::vector<std::string> command = env(browser);
        command.insert(command.begin(), {"-u", "XDG_CACHE_HOME", "-u", "XDG_DATA_HOME"});
        SessionProgram signingIn("/usr/bin/env", command);
        ASSERT_EQ(signingIn.waitFor(120s), 0) << signingIn.err();
    } // whatever it left running goes with its session

    auto download = [&](std::vector<std::string> options) {
        std::vector<std::string> command{cliPath().string(), "download"};
        command.insert(command.end(), options.begin(), options.end());
        command.push_back(server.baseUrl() + "/clip.mp4");
        return runProgram("/usr/bin/env", env(command));
    };
    std::string option = row.option;
    if (const auto at = option.find("{profile}"); at != std::string::npos)
        option.replace(at, 9, profile.string());
    const CliResult signedIn = download({"--cookies-from-browser", option});
    ASSERT_EQ(signedIn.exitStatus, 0) << signedIn.err;
    EXPECT_EQ(fs::file_size(signedIn.out.substr(0, signedIn.out.size() - 1)), fs::file_size(clip.bodyFile));

    const CliResult plain = download({});
    EXPECT_EQ(plain.exitStatus, 1);
    EXPECT_NE(plain.err.find("then run again with --cookies-from-browser " + row.suggested), std::string::npos)
        << plain.err;
    // Only yt-dlp saw the cookie: none of our outputs or folders holds it.
    for (const std::string& text : {signedIn.out, signedIn.err, plain.out, plain.err})
        EXPECT_EQ(text.find(secret), std::string::npos) << text;
    EXPECT_FALSE(holds(Sandbox::cacheHome(), secret));
    EXPECT_FALSE(holds(Sandbox::dataHome(), secret));
}

INSTANTIATE_TEST_SUITE_P(
    RealBrowsers,
    SignIn,
    testing::Values(
        // A folder that yt-dlp would expand ("$HOME") and that has a space; yt-dlp would not look there.
        SignInRow{"chromium", "chromium", false, "chromium:{profile}", "Chromium $HOME profile", "BROWSER ("},
        SignInRow{"chromiumKeyring", "chromium", true, "Chromium", ".config/chromium", "chromium\n"},
        SignInRow{"firefoxUsualPlace", "firefox-esr", false, "firefox", ".mozilla/firefox/x1.default-esr", "firefox"},
        SignInRow{"firefoxFolder", "firefox-esr", false, "firefox:{profile}", "ff $PATH", "BROWSER ("}),
    [](const testing::TestParamInfo<SignInRow>& test) { return std::string(test.param.name); });

TEST(SignInBrowsers, AreTheShippedYtdlpsOwn) {
    const CliResult result = runProgram((Sandbox::helpers() / "yt-dlp").string(), {"--cookies-from-browser", "x"});
    std::string list;
    for (const std::string& browser : BrowserSignIn::supportedBrowsers())
        list += (list.empty() ? "" : ", ") + browser;
    EXPECT_NE(result.err.find("Supported browsers are: " + list + "\n"), std::string::npos) << result.err;
}
