#pragma once

#include "download/BrowserSignIn.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The browsers on this machine whose sign-in a download could borrow: each profile that holds a
// cookie store in a browser's usual folders, the Flatpak and Snap ones included. It looks only
// at folder listings and file dates; it never opens a store.
class BrowserProfiles {
public:
    struct Profile {
        std::string browser;          // yt-dlp's name: "firefox", "chromium", ...
        std::string title;            // "Firefox", "Chromium", ...
        std::string name;             // the profile folder's name; empty for Opera, which has none
        std::filesystem::path folder; // the folder that holds the cookie store
        std::string packaging;        // "Flatpak", "Snap", or empty for the usual install
        bool foundByYtdlp = false;    // yt-dlp looks in this folder when given the browser alone

        bool operator==(const Profile&) const = default;

        // This profile, named by its folder, so that exactly it is read.
        BrowserSignIn signIn() const { return {browser, {}, folder.string(), {}}; }
    };

    // Looks below home, with configHome for $XDG_CONFIG_HOME. Browsers come in the order Firefox,
    // Chromium, Chrome, Brave, Edge, Vivaldi, Opera; a browser's profiles the most recently
    // used first. Never throws: an unreadable folder holds nothing.
    static std::vector<Profile> find(const std::filesystem::path& home, const std::filesystem::path& configHome);
    // The same for this user ($HOME, $XDG_CONFIG_HOME or ~/.config).
    static std::vector<Profile> find();

    // What to suggest after --cookies-from-browser: the first profile's browser, followed by its
    // folder where yt-dlp would not find it by itself, quoted for a shell when it must be. Absent
    // without profiles. Pure.
    static std::optional<std::string> suggestion(const std::vector<Profile>& profiles);

    // A menu entry's text: the browser's title, and the profile's name where the browser has
    // several profiles among these, and the packaging where there is one ("Chromium (Snap)",
    // "Firefox: default-release"). Pure.
    static std::string label(const Profile& profile, const std::vector<Profile>& all);
};
