#include "download/BrowserProfiles.h"

#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

enum class Layout {
    firefox,  // profile folders in the root, or in its Profiles folder, each with cookies.sqlite
    chromium, // profile folders in the user data folder, each with Cookies or Network/Cookies
    single,   // the user data folder is the one profile (Opera)
};

struct Root {
    fs::path folder;
    std::string packaging;
    bool foundByYtdlp;
};

struct Browser {
    const char* name;
    const char* title;
    Layout layout;
    std::vector<Root> roots;
};

// The usual folders, as each browser and its Flatpak or Snap package keep them. yt-dlp runs with
// HOME alone, so it looks below ~/.config whatever $XDG_CONFIG_HOME says, and for the
// Chromium family nowhere else.
std::vector<Browser> browsers(const fs::path& home, const fs::path& configHome) {
    const fs::path ytdlpConfig = home / ".config";
    const fs::path flatpak = home / ".var/app";
    const fs::path snap = home / "snap";
    auto chromium = [&](const char* name,
                        const char* title,
                        Layout layout,
                        const char* dir,
                        const char* flatpakId,
                        const char* snapDir) {
        Browser browser{name, title, layout, {}};
        browser.roots.push_back({configHome / dir, "", configHome == ytdlpConfig});
        browser.roots.push_back({flatpak / flatpakId / "config" / dir, "Flatpak", false});
        if (snapDir)
            browser.roots.push_back({snap / snapDir, "Snap", false});
        return browser;
    };
    return {
        {"firefox",
         "Firefox",
         Layout::firefox,
         {{configHome / "mozilla/firefox", "", configHome == ytdlpConfig},
          {ytdlpConfig / "mozilla/firefox", "", true},
          {home / ".mozilla/firefox", "", true},
          {flatpak / "org.mozilla.firefox/config/mozilla/firefox", "Flatpak", true},
          {flatpak / "org.mozilla.firefox/.mozilla/firefox", "Flatpak", true},
          {snap / "firefox/common/.mozilla/firefox", "Snap", true}}},
        chromium(
            "chromium", "Chromium", Layout::chromium, "chromium", "org.chromium.Chromium", "chromium/common/chromium"),
        chromium("chrome", "Chrome", Layout::chromium, "google-chrome", "com.google.Chrome", nullptr),
        chromium("brave",
                 "Brave",
                 Layout::chromium,
                 "BraveSoftware/Brave-Browser",
                 "com.brave.Browser",
                 "brave/current/.config/BraveSoftware/Brave-Browser"),
        chromium("edge", "Edge", Layout::chromium, "microsoft-edge", "com.microsoft.Edge", nullptr),
        chromium("vivaldi",
                 "Vivaldi",
                 Layout::chromium,
                 "vivaldi",
                 "com.vivaldi.Vivaldi",
                 "vivaldi/current/.config/vivaldi"),
        chromium("opera", "Opera", Layout::single, "opera", "com.opera.Opera", "opera/current/.config/opera"),
    };
}

// The cookie store's last change, when the folder holds one.
std::optional<fs::file_time_type> storeChanged(const fs::path& folder, Layout layout) {
    const std::array<const char*, 2> stores =
        layout == Layout::firefox ? std::array{"cookies.sqlite", ""} : std::array{"Network/Cookies", "Cookies"};
    for (const char* store : stores) {
        std::error_code error;
        if (*store == '\0' || !fs::is_regular_file(folder / store, error))
            continue;
        const auto changed = fs::last_write_time(folder / store, error);
        if (!error)
            return changed;
    }
    return std::nullopt;
}

std::vector<fs::path> subfolders(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            found.push_back(it->path());
    }
    return found;
}

std::string shellQuoted(const std::string& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("/._-:+@%,=").find(static_cast<char>(c)) != std::string_view::npos;
    });
    if (plain)
        return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::vector<BrowserProfiles::Profile> BrowserProfiles::find(const fs::path& home, const fs::path& configHome) {
    std::vector<Profile> all;
    for (const Browser& browser : browsers(home, configHome)) {
        std::vector<std::pair<fs::file_time_type, Profile>> found;
        std::vector<fs::path> seen;
        for (const Root& root : browser.roots) {
            std::error_code error;
            const fs::path real = fs::weakly_canonical(root.folder, error);
            if (error || std::find(seen.begin(), seen.end(), real) != seen.end())
                continue; // $XDG_CONFIG_HOME is ~/.config, or a root is a link to another
            seen.push_back(real);
            std::vector<fs::path> candidates{root.folder};
            if (browser.layout != Layout::single) {
                candidates = subfolders(root.folder);
                if (browser.layout == Layout::firefox)
                    for (const fs::path& inner : subfolders(root.folder / "Profiles"))
                        candidates.push_back(inner);
            }
            for (const fs::path& folder : candidates) {
                // Chromium's own profiles for its profile picker and guests hold no user's sign-in.
                if (folder.filename() == "System Profile" || folder.filename() == "Guest Profile")
                    continue;
                if (const auto changed = storeChanged(folder, browser.layout)) {
                    const std::string name = browser.layout == Layout::single ? "" : folder.filename().string();
                    found.push_back(
                        {*changed, {browser.name, browser.title, name, folder, root.packaging, root.foundByYtdlp}});
                }
            }
        }
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (auto& [changed, profile] : found)
            all.push_back(std::move(profile));
    }
    return all;
}

std::vector<BrowserProfiles::Profile> BrowserProfiles::find() {
    const fs::path home = Platform::homeDirectory();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The XDG rule: a relative value is as good as none.
    return find(home, config && fs::path(config).is_absolute() ? fs::path(config) : home / ".config");
}

std::optional<std::string> BrowserProfiles::suggestion(const std::vector<Profile>& profiles) {
    if (profiles.empty())
        return std::nullopt;
    const Profile& first = profiles.front();
    if (first.foundByYtdlp)
        return first.browser;
    return shellQuoted(first.browser + ":" + first.folder.string());
}

std::string BrowserProfiles::label(const Profile& profile, const std::vector<Profile>& all) {
    std::string text = profile.title;
    if (!profile.packaging.empty())
        text += " (" + profile.packaging + ")";
    const auto sameBrowser = std::count_if(all.begin(), all.end(), [&](const Profile& other) {
        return other.browser == profile.browser && other.packaging == profile.packaging;
    });
    if (sameBrowser > 1 && !profile.name.empty()) {
        // Firefox names its folders "<random>.<name>".
        const auto dot = profile.name.find('.');
        const bool firefox = profile.browser == "firefox" && dot != std::string::npos && dot + 1 < profile.name.size();
        text += ": " + (firefox ? profile.name.substr(dot + 1) : profile.name);
    }
    return text;
}
