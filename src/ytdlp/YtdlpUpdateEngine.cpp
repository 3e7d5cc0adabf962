#include "ytdlp/YtdlpUpdateEngine.h"
#include "platform/Ascii.h"

#include "platform/BodyTooLarge.h"
#include "platform/HttpClient.h"
#include "platform/OperationCancelled.h"
#include "platform/Sha256.h"
#include "platform/UniqueFd.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"
#include "tools/Uuid.h"
#include "ytdlp/LatestYtdlpRelease.h"
#include "ytdlp/ReleaseSignature.h"
#include "ytdlp/YtdlpLog.h"
#include "ytdlp/YtdlpResolver.h"
#include "ytdlp/YtdlpUpdateError.h"
#include "ytdlp/YtdlpUpdateLock.h"
#include "ytdlp/YtdlpVersion.h"

#include <nlohmann/json.hpp>
#include <spdlog/spdlog.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds releaseQueryTimeout(15);
constexpr std::chrono::seconds checksumListTimeout(60);
constexpr std::size_t unexpectedOutputCodePoints = 80;

void throwIfStopped(const std::stop_token& stopToken) {
    if (stopToken.stop_requested())
        throw OperationCancelled();
}

void removeIgnoringFailure(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// The prefix of every run's staging folder in the support folder.
constexpr std::string_view stagingPrefix = "staging-";

// Staging folders that other runs left behind: they are only ever made and removed while a run
// holds the update lock, so with the lock held every one of them belongs to a run that died
// (a kill, a crash, a power cut). A tool that such a run started may still be running from
// one; removing its files does not disturb it. Failures are ignored, as in any clean-up.
void sweepStagingFolders(const fs::path& support) {
    std::error_code failure;
    for (fs::directory_iterator it(support, failure), end; !failure && it != end; it.increment(failure)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(stagingPrefix, 0) != 0)
            continue;
        removeIgnoringFailure(it->path());
        ytdlpLog()->info("Removed the staging folder {} of an update that did not finish", name);
    }
}

// "30 seconds", "1 second", "0.25 seconds".
std::string durationText(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    if (ms == 1000)
        return "1 second";
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " seconds";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g seconds", static_cast<double>(ms) / 1000);
    return buffer;
}

// The run's own folder beside the updated copy (same file system, so the install is a rename).
// Removed with its contents however the run ends; a failure to remove it is not the run's.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& support) : m_path(support / (std::string(stagingPrefix) + Uuid::random())) {
        fs::create_directories(m_path);
    }
    ~StagingFolder() { removeIgnoringFailure(m_path); }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// Makes the renames in the folder durable; a failure only weakens crash safety, so it is ignored.
void syncDirectory(const fs::path& directory) {
    const UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        ::fsync(fd.get());
}

// The release's published SHA-256 for our asset: "<hex>  <name>" lines, the name optionally
// marked "*" for binary mode. A list that gives our asset two different sums proves nothing.
std::optional<std::string> publishedChecksum(const std::string& list) {
    std::optional<std::string> found;
    for (const std::string& line : Text::splitLines(list)) {
        const std::vector<std::string> words = Text::splitWords(Text::trim(line));
        if (words.size() != 2)
            continue;
        std::string name = words[1];
        if (!name.empty() && name.front() == '*')
            name.erase(0, 1);
        if (name != YtdlpChannel::assetName())
            continue;
        const std::string sum = Ascii::lower(words[0]);
        if (found && *found != sum)
            throw YtdlpUpdateError::checksumAmbiguous();
        found = sum;
    }
    return found;
}

void writeWhole(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw fs::filesystem_error("cannot write", file, std::make_error_code(std::errc::io_error));
}

HttpClient::Response releaseFile(const std::string& url, std::stop_token stopToken) {
    return HttpClient::get(url, {}, checksumListTimeout, stopToken);
}

// Nothing from the network runs before its bytes match the release's own checksum list, and
// that list counts only with a good signature by yt-dlp's release key: a mirror, an
// intercepting proxy or a compromised release page can serve a matching list, not a signature.
void checkPublishedChecksum(const YtdlpChannel& channel, const fs::path& staged, std::stop_token stopToken) {
    const HttpClient::Response list = releaseFile(channel.checksumsURL(), stopToken);
    if (list.status == 404 || list.status == 410)
        throw YtdlpUpdateError::checksumMissing();
    if (list.status < 200 || list.status > 299)
        throw YtdlpUpdateError::badResponse(list.status);
    const HttpClient::Response signature = releaseFile(channel.signatureURL(), stopToken);
    if (signature.status == 404 || signature.status == 410)
        throw YtdlpUpdateError::notSigned();
    if (signature.status < 200 || signature.status > 299)
        throw YtdlpUpdateError::badResponse(signature.status);
    // gpgv reads files; the ones it checks are the very bytes the sum is read from below.
    const fs::path folder = staged.parent_path();
    writeWhole(folder / YtdlpChannel::checksumsName, list.body);
    writeWhole(folder / YtdlpChannel::signatureName, signature.body);
    ReleaseSignature::verify(
        folder / YtdlpChannel::checksumsName, folder / YtdlpChannel::signatureName, folder, stopToken);
    const std::optional<std::string> expected = publishedChecksum(list.body);
    if (!expected)
        throw YtdlpUpdateError::checksumMissing();
    if (Sha256::ofFile(staged) != *expected)
        throw YtdlpUpdateError::checksumMismatch();
}

void download(const std::string& url,
              const fs::path& destination,
              const std::function<void(double)>& fraction,
              std::stop_token stopToken,
              std::uintmax_t maximumBytes) {
    long status = 0;
    try {
        status = HttpClient::download(url, destination, fraction, stopToken, std::chrono::seconds(60), maximumBytes);
    } catch (const BodyTooLarge& tooLarge) {
        throw YtdlpUpdateError::assetTooLarge(tooLarge.limit());
    }
    if (status < 200 || status > 299) {
        removeIgnoringFailure(destination);
        throw YtdlpUpdateError::badResponse(status > 0 ? status : -1);
    }
}

// Puts staged at target by renames, so "yt-dlp" is at every moment the old file or the new
// one. The old one stays as backup (a second name for it, made before the switch).
void install(const fs::path& staged, const fs::path& target, const fs::path& backup, bool existed) {
    if (existed) {
        if (fs::is_directory(fs::symlink_status(target)))
            throw fs::filesystem_error(
                "cannot replace the updated yt-dlp", target, std::make_error_code(std::errc::is_a_directory));
        removeIgnoringFailure(backup);
        std::error_code linkFailure;
        fs::create_hard_link(target, backup, linkFailure);
        if (linkFailure)
            fs::rename(target, backup); // no hard links here: briefly no updated copy, never a partial one
    }
    fs::rename(staged, target);
    syncDirectory(target.parent_path());
}

void revert(const fs::path& target, const fs::path& backup, bool existed) {
    std::error_code failure;
    if (existed) {
        fs::rename(backup, target, failure);
        if (!failure)
            return;
    }
    removeIgnoringFailure(target);
}

} // namespace

namespace YtdlpUpdateEngine {

std::optional<std::string> latestTag(const Channel& channel, std::stop_token stopToken) {
    try {
        const HttpClient::Response response = HttpClient::get(
            channel.latestReleaseAPI(), {"Accept: application/vnd.github+json"}, releaseQueryTimeout, stopToken);
        if (response.status != 200)
            return std::nullopt;
        const nlohmann::json release = nlohmann::json::parse(response.body, nullptr, false);
        if (release.is_discarded() || !release.is_object())
            return std::nullopt;
        const auto tag = release.find("tag_name");
        if (tag == release.end() || !tag->is_string())
            return std::nullopt;
        std::string text = tag->get<std::string>();
        if (!YtdlpVersion::looksValid(text))
            return std::nullopt;
        return text;
    } catch (...) {
        // Any failure of the query is an unknown tag; the download then reports the real problem.
        return std::nullopt;
    }
}

Channel newestChannel(std::stop_token stopToken) {
    const Channel stable = Channel::stable();
    const Channel nightly = Channel::nightly();
    std::optional<std::string> stableTag;
    std::optional<std::string> nightlyTag;
    try {
        auto nightlyQuery = std::async(std::launch::async, [&] { return latestTag(nightly, stopToken); });
        stableTag = latestTag(stable, stopToken);
        nightlyTag = nightlyQuery.get();
    } catch (const std::system_error&) {
        // No thread for the second query: ask one after the other.
        if (!stableTag)
            stableTag = latestTag(stable, stopToken);
        nightlyTag = latestTag(nightly, stopToken);
    }
    ytdlpLog()->info("Latest yt-dlp: stable {}, nightly {}", stableTag.value_or("?"), nightlyTag.value_or("?"));
    for (const std::optional<std::string>* tag : {&stableTag, &nightlyTag}) {
        if (*tag)
            LatestYtdlpRelease::note(**tag);
    }
    if (nightlyTag && (!stableTag || YtdlpVersion::compare(*nightlyTag, *stableTag) > 0))
        return nightly;
    return stable;
}

std::string
verifiedVersion(const fs::path& executable, std::stop_token stopToken, std::chrono::milliseconds silenceLimit) {
    ToolProcessResult result;
    try {
        // A check that the stop cut short throws OperationCancelled; one that finished still counts.
        result = ToolProcess::run(executable, {"--version"}, std::nullopt, stopToken, silenceLimit);
    } catch (const std::system_error& error) {
        throw YtdlpUpdateError::wontRun(error.what());
    }
    if (result.timedOut)
        throw YtdlpUpdateError::wontRun("it printed nothing for " + durationText(silenceLimit));
    if (result.status != 0) {
        const std::string reason = Text::lastNonEmpty(Text::splitLines(result.standardError), Text::trimSpaces);
        throw YtdlpUpdateError::wontRun(reason.empty() ? "exit status " + std::to_string(result.status) : reason);
    }
    std::string version = Text::trim(result.standardOutput);
    if (!YtdlpVersion::looksValid(version))
        throw YtdlpUpdateError::unexpectedOutput(Text::firstCodePoints(version, unexpectedOutputCodePoints));
    return version;
}

YtdlpUpdateOutcome update(const std::function<void(YtdlpUpdatePhase)>& progress,
                          std::stop_token stopToken,
                          std::chrono::milliseconds versionSilenceLimit,
                          std::uintmax_t maximumAssetBytes) {
    YtdlpResolver& resolver = YtdlpResolver::shared();
    const fs::path& support = BundledTools::supportDirectory();
    const fs::path& target = BundledTools::updatedYtdlp();
    const fs::path backup = support / "yt-dlp.previous";

    fs::create_directories(support);
    // Declared before the staging folder, so the folder is gone before the lock is released.
    const YtdlpUpdateLock lock(
        support / lockFileName, [&] { progress(YtdlpUpdatePhase::waiting()); }, stopToken);
    throwIfStopped(stopToken);
    // Read under the lock: a run that finished while this one waited has changed the copies.
    const YtdlpStatus previous = resolver.status(stopToken);
    throwIfStopped(stopToken);
    sweepStagingFolders(support);
    const StagingFolder staging(support);
    const fs::path staged = staging.path() / "yt-dlp";

    progress(YtdlpUpdatePhase::downloading(0));
    const Channel channel = newestChannel(stopToken);
    ytdlpLog()->info("Downloading yt-dlp from the {} channel", channel.name);
    throwIfStopped(stopToken);
    download(
        channel.downloadURL(),
        staged,
        [&](double fraction) { progress(YtdlpUpdatePhase::downloading(fraction)); },
        stopToken,
        maximumAssetBytes);
    throwIfStopped(stopToken);

    progress(YtdlpUpdatePhase::verifying());
    checkPublishedChecksum(channel, staged, stopToken);
    fs::permissions(staged, fs::perms(0755), fs::perm_options::replace);
    const std::string version = verifiedVersion(staged, stopToken, versionSilenceLimit);
    throwIfStopped(stopToken); // the last point at which a stop is honoured

    // Only the shipped copy counts here: an older release may replace a newer updated copy.
    if (previous.bundledVersion && YtdlpVersion::compare(version, *previous.bundledVersion) <= 0) {
        removeIgnoringFailure(target);
        removeIgnoringFailure(backup);
        resolver.clearCache();
        ytdlpLog()->info("Downloaded yt-dlp {} is not newer than bundled {}; keeping the bundled copy",
                         version,
                         *previous.bundledVersion);
        return YtdlpUpdateOutcome::alreadyCurrent(version);
    }

    progress(YtdlpUpdatePhase::installing());
    const bool existed = fs::exists(fs::symlink_status(target));
    install(staged, target, backup, existed);
    resolver.clearCache();
    try {
        // Past the last cancellation point this check runs to its end (its time limit bounds it),
        // so a stop never ends a run between the install and its proof.
        const std::string installed = verifiedVersion(target, {}, versionSilenceLimit);
        if (installed != version)
            throw YtdlpUpdateError::unexpectedOutput(installed);
    } catch (const std::exception& error) {
        ytdlpLog()->error("Installed yt-dlp failed verification, reverting: {}", error.what());
        revert(target, backup, existed);
        resolver.clearCache();
        throw;
    }
    ytdlpLog()->info("Installed yt-dlp {} at {}", version, target.string());
    return previous.active.version == version ? YtdlpUpdateOutcome::alreadyCurrent(version)
                                              : YtdlpUpdateOutcome::updated(version);
}

} // namespace YtdlpUpdateEngine
