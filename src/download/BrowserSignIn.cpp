#include "download/BrowserSignIn.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

bool contains(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

} // namespace

const std::vector<std::string>& BrowserSignIn::supportedBrowsers() {
    // yt-dlp's SUPPORTED_BROWSERS (Safari's store exists only on macOS, but yt-dlp takes the name).
    static const std::vector<std::string> browsers{
        "brave", "chrome", "chromium", "edge", "firefox", "opera", "safari", "vivaldi", "whale"};
    return browsers;
}

const std::vector<std::string>& BrowserSignIn::supportedKeyrings() {
    static const std::vector<std::string> keyrings{"basictext", "gnomekeyring", "kwallet", "kwallet5", "kwallet6"};
    return keyrings;
}

BrowserSignIn BrowserSignIn::parse(std::string_view text) {
    // yt-dlp's own pattern, so that a value means here what it means there.
    static const std::regex pattern(R"(([^+:]+)(?:\s*\+\s*([^:]+))?(?:\s*:\s*(?!:)(.+?))?(?:\s*::\s*(.+))?)");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(text.begin(), text.end(), match, pattern))
        throw std::invalid_argument("Not a browser to sign in with: " + std::string(text) +
                                    ". Give BROWSER[+KEYRING][:PROFILE][::CONTAINER], such as firefox.");
    BrowserSignIn signIn{lowered(match[1].str()), lowered(match[2].str()), match[3].str(), match[4].str()};
    if (!contains(supportedBrowsers(), signIn.browser))
        throw std::invalid_argument("Not a browser yt-dlp can sign in with: " + signIn.browser +
                                    ". One of: " + joined(supportedBrowsers()) + ".");
    if (!signIn.keyring.empty() && !contains(supportedKeyrings(), signIn.keyring))
        throw std::invalid_argument("Not a keyring yt-dlp can read: " + signIn.keyring +
                                    ". One of: " + joined(supportedKeyrings()) + ".");
    std::transform(signIn.keyring.begin(), signIn.keyring.end(), signIn.keyring.begin(), [](unsigned char c) {
        return std::toupper(c);
    });
    // yt-dlp takes a profile with a slash for a path, which it would read from its own folder. A
    // "~/" that no shell expanded (after "firefox:") means the home folder, as it would to yt-dlp.
    if (signIn.profile.starts_with("~/"))
        signIn.profile = (Platform::homeDirectory() / signIn.profile.substr(2)).string();
    if (signIn.profile.find('/') != std::string::npos)
        signIn.profile = fs::absolute(signIn.profile).lexically_normal().string();
    return signIn;
}

std::string BrowserSignIn::argument(const std::string& linkedProfile) const {
    std::string text = browser;
    if (!keyring.empty())
        text += "+" + keyring;
    const std::string& shownProfile = linkedProfile.empty() ? profile : linkedProfile;
    if (!shownProfile.empty())
        text += ":" + shownProfile;
    if (!container.empty())
        text += "::" + container;
    return text;
}

std::optional<fs::path> BrowserSignIn::profileNeedingLink() const {
    if (profile.find('/') == std::string::npos)
        return std::nullopt;
    // parse makes a relative or "~/" path absolute; what is left is what yt-dlp would still
    // rewrite: a "$" it expands (when such a variable is set) and a "::" it splits at.
    const bool rewritten =
        profile.starts_with('~') || profile.find('$') != std::string::npos || profile.find("::") != std::string::npos;
    if (!rewritten)
        return std::nullopt;
    return fs::path(profile);
}

std::vector<std::string> BrowserSignIn::desktopEnvironment() {
    std::vector<std::string> variables;
    // The bus and runtime folder reach the keyring; the desktop's names pick GNOME Keyring or
    // KWallet, and KDE_SESSION_VERSION which KWallet (yt-dlp takes KDE without it for KDE 4).
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS",
                             "XDG_RUNTIME_DIR",
                             "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION",
                             "KDE_SESSION_VERSION"}) {
        if (const char* value = std::getenv(name))
            variables.push_back(std::string(name) + "=" + value);
    }
    return variables;
}
