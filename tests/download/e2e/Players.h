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
    std::string detail; // what the player said, when it did not play to the end
};

// One verdict per player. The file is copied below root, which server serves (Chromium plays
// media only from http pages), and the page reports the end back to server. Each player gets at
// most 30 s.
std::vector<Verdict>
playToEnd(const std::filesystem::path& file, const LocalHttpServer& server, const std::filesystem::path& root);

} // namespace Players
