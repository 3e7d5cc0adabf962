#include "ytdlp/ReleaseSignature.h"

#include "platform/Ascii.h"
#include "platform/Platform.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"
#include "ytdlp/YtdlpLog.h"
#include "ytdlp/YtdlpUpdateError.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Debian's gpgv, a dependency of apt, so present wherever Debian is.
constexpr const char* gpgv = "/usr/bin/gpgv";
// gpgv reads two small files and a keyring; one that is silent this long is stuck.
constexpr std::chrono::seconds gpgvSilenceLimit(30);

std::optional<fs::path> seamKeyring() {
    const char* seam = std::getenv(ReleaseSignature::keyringVariable);
    if (seam && *seam)
        return fs::path(seam);
    return std::nullopt;
}

} // namespace

namespace ReleaseSignature {

fs::path keyring() {
    if (const auto seam = seamKeyring())
        return *seam;
    return Platform::packageRoot() / "Contents" / "Resources" / "keys" / "yt-dlp-release-signing.gpg";
}

std::vector<std::string> validSignatureKeys(std::string_view statusOutput) {
    // "[GNUPG:] VALIDSIG <signing key> <date> <time> <expiry> <version> <reserved> <public-key
    // algorithm> <hash algorithm> <class> <primary key>"
    std::vector<std::string> keys;
    for (const std::string& line : Text::splitLines(statusOutput)) {
        const std::vector<std::string> words = Text::splitWords(line);
        if (words.size() >= 12 && words[0] == "[GNUPG:]" && words[1] == "VALIDSIG")
            keys.push_back(words[11]);
    }
    return keys;
}

void verify(const fs::path& list, const fs::path& signature, const fs::path& workFolder, std::stop_token stopToken) {
    const fs::path ring = keyring();
    const bool shipped = !seamKeyring();
    std::error_code failure;
    if (!fs::is_regular_file(ring, failure))
        throw YtdlpUpdateError::signatureUnchecked("the keyring " + ring.string() + " is missing");
    ToolProcessResult result;
    try {
        result = ToolProcess::run(gpgv,
                                  {"--homedir",
                                   (workFolder / "gnupg").string(),
                                   "--status-fd",
                                   "1",
                                   // A machine whose clock is wrong must not see every key as made in the future.
                                   "--ignore-time-conflict",
                                   "--keyring",
                                   fs::absolute(ring).string(),
                                   signature.string(),
                                   list.string()},
                                  std::nullopt,
                                  stopToken,
                                  gpgvSilenceLimit);
    } catch (const std::system_error& error) {
        throw YtdlpUpdateError::signatureUnchecked(std::string("gpgv would not start: ") + error.what());
    }
    if (result.timedOut)
        throw YtdlpUpdateError::signatureUnchecked("gpgv printed nothing for 30 seconds");
    const std::vector<std::string> keys = validSignatureKeys(result.standardOutput);
    const auto trusted = std::find_if(keys.begin(), keys.end(), [&](const std::string& key) {
        return !shipped || Ascii::lower(key) == Ascii::lower(releaseKeyFingerprint);
    });
    if (result.status != 0 || trusted == keys.end()) {
        ytdlpLog()->info("gpgv refused the checksum list (exit status {}): {}",
                         result.status,
                         Text::summarize(result.standardError));
        throw YtdlpUpdateError::notSigned();
    }
    ytdlpLog()->info("The checksum list is signed by {}", *trusted);
}

} // namespace ReleaseSignature
