#pragma once

#include "ytdlp/YtdlpStatus.h"

#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// Decides which yt-dlp copy is active (the updated one only when it is strictly newer) and
// remembers the answer while neither file changes on disk, in memory and, for the next process,
// in a small file in the cache folder. Thread-safe; one per process.
class YtdlpResolver {
public:
    static YtdlpResolver& shared();

    // The current status. On a cache miss it runs both copies with "--version" concurrently and
    // blocks for about one tool start; on a hit it reads two file attributes. A stop request
    // ends the lookups at once; the answer is then not kept (a copy it could not ask reads as
    // absent). Never throws.
    YtdlpStatus status(std::stop_token stopToken = {});

    // Forgets the cached answer (the stored one too), so the next status() runs both copies
    // again. Called after every change to the updated copy.
    void clearCache();

private:
    YtdlpResolver() = default;

    struct Cached {
        std::vector<std::string> key;
        YtdlpStatus status;
    };

    std::mutex m_mutex;
    std::optional<Cached> m_cached;
};
