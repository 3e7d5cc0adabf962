#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A browser whose signed-in session a download borrows: yt-dlp's --cookies-from-browser
// BROWSER[+KEYRING][:PROFILE][::CONTAINER]. Only yt-dlp opens the browser's cookie store, for
// the one run that names it; Tallowin never reads, prints, logs or keeps a cookie.
struct BrowserSignIn {
    std::string browser;   // yt-dlp's name, lower case: "firefox", "chromium", ...
    std::string keyring;   // upper case ("GNOMEKEYRING"), or empty for the desktop's own
    std::string profile;   // a profile's name, an absolute path, or empty for the newest profile
    std::string container; // a Firefox container, or empty

    bool operator==(const BrowserSignIn&) const = default;

    // Reads yt-dlp's syntax the way yt-dlp does (the browser and keyring in any letter case,
    // spaces around the separators). A relative profile path is made absolute against the
    // current folder, since yt-dlp runs elsewhere. Throws std::invalid_argument whose what() is
    // the user-facing text: an unknown browser or keyring named with the supported ones, or text
    // that is no such value.
    static BrowserSignIn parse(std::string_view text);

    // The browsers and keyrings the shipped yt-dlp supports, sorted, lower case.
    static const std::vector<std::string>& supportedBrowsers();
    static const std::vector<std::string>& supportedKeyrings();

    // The option's value, with linkedProfile in place of the profile when given. Pure.
    std::string argument(const std::string& linkedProfile = {}) const;

    // Where the profile must be reached through a link, since yt-dlp would rewrite or split the
    // path as given (a "$" or leading "~" it expands, a "::" it reads as a container): that
    // path; else absent. Pure.
    std::optional<std::filesystem::path> profileNeedingLink() const;

    // The variables of our own environment that let yt-dlp reach the desktop's keyring over the
    // session bus and pick the right one, as "NAME=value" for each one that is set. Only a run
    // that borrows a sign-in passes them on.
    static std::vector<std::string> desktopEnvironment();
};
