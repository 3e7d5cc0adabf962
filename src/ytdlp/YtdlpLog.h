#pragma once

#include <memory>

namespace spdlog {
class logger;
}

// The one logger of the yt-dlp code and the download pipeline, named "yt-dlp". It writes to the
// systemd journal (identifier: the bundle identifier) where the journal's socket exists, and
// nowhere otherwise. Every message goes through SafeText (Where::kept) before any sink, so the
// journal keeps no password, query string or control character. Tests add a sink to read its lines.
std::shared_ptr<spdlog::logger> ytdlpLog();
