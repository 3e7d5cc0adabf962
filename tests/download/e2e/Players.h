#pragma once

#include "support/LocalHttpServer.h"

#include <filesystem>
#include <string>
#include <vector>

// The players people use, each asked to play a file to its end: mpv, GStreamer's playbin, and
// headless Chromium (the web and the chat apps).
namespace Players {

struct Verdict {
    std::string player;
    bool missing = false; // not installed: no verdict
    bool playedToEnd = false;
    std::string said;
};

// One verdict per player, each player bounded to 30 s. The file is copied into root, which server
// serves: Chromium plays it from a page there and reports the end back to server.
std::vector<Verdict>
playToEnd(const std::filesystem::path& file, const LocalHttpServer& server, const std::filesystem::path& root);

} // namespace Players
