#include "ytdlp/YtdlpResolver.h"

#include "tools/BundledTools.h"
#include "tools/ToolFingerprint.h"
#include "ytdlp/ResolvedVersionsFile.h"
#include "ytdlp/YtdlpLog.h"
#include "ytdlp/YtdlpVersion.h"

#include <spdlog/logger.h>

#include <future>

YtdlpResolver& YtdlpResolver::shared() {
    static YtdlpResolver resolver;
    return resolver;
}

YtdlpStatus YtdlpResolver::status(std::stop_token stopToken) {
    const auto& bundled = BundledTools::bundledYtdlp();
    const auto& updated = BundledTools::updatedYtdlp();
    std::vector<std::string> key{ToolFingerprint::of(bundled), ToolFingerprint::of(updated)};
    {
        std::lock_guard lock(m_mutex);
        if (m_cached && m_cached->key == key)
            return m_cached->status;
    }

    std::optional<std::string> shippedVersion;
    std::optional<std::string> updatedVersion;
    bool lookedUp = false;
    if (auto stored = ResolvedVersionsFile::read(ResolvedVersionsFile::location(), key)) {
        // Another process asked about these very files already.
        shippedVersion = std::move(stored->bundledVersion);
        updatedVersion = std::move(stored->updatedVersion);
    } else {
        // Both copies at once, so a miss costs about one tool start. The lock is not held
        // meanwhile: two callers that both miss each look, and the later store wins (both
        // describe the same files).
        auto updatedLookup =
            std::async(std::launch::async, [&updated, stopToken] { return BundledTools::version(updated, stopToken); });
        shippedVersion = BundledTools::version(bundled, stopToken);
        updatedVersion = updatedLookup.get();
        lookedUp = true;
    }

    bool updatedIsActive =
        updatedVersion && (!shippedVersion || YtdlpVersion::compare(*updatedVersion, *shippedVersion) > 0);
    YtdlpStatus status{
        shippedVersion,
        updatedVersion,
        updatedIsActive ? YtdlpInstallation{updated, updatedVersion, YtdlpInstallation::Source::updated}
                        : YtdlpInstallation{bundled, shippedVersion, YtdlpInstallation::Source::bundled},
    };
    if (lookedUp && stopToken.stop_requested())
        return status; // an interrupted lookup says nothing about the files
    {
        std::lock_guard lock(m_mutex);
        m_cached = Cached{key, status};
    }
    if (!lookedUp)
        return status;
    ResolvedVersionsFile::write(ResolvedVersionsFile::location(), {key, shippedVersion, updatedVersion});
    ytdlpLog()->info("Resolved {} yt-dlp {} at {} (bundled {}, updated {})",
                     sourceName(status.active.source),
                     status.active.version.value_or("?"),
                     status.active.url.string(),
                     shippedVersion.value_or("missing"),
                     updatedVersion.value_or("none"));
    return status;
}

void YtdlpResolver::clearCache() {
    std::lock_guard lock(m_mutex);
    m_cached.reset();
    ResolvedVersionsFile::remove(ResolvedVersionsFile::location());
}
