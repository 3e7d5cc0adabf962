#pragma once

#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// The OpenPGP signature that yt-dlp's release workflow puts on every release's checksum list
// (SHA2-256SUMS.sig, a detached signature), checked with Debian's gpgv. A checksum list from a
// host that lies matches whatever program it serves; only the release key's signature ties it
// to yt-dlp.
namespace ReleaseSignature {

// The primary key of yt-dlp's release key, as the package ships it.
inline constexpr std::string_view releaseKeyFingerprint = "AC0CBBE6848D6A873464AF4E57CF65933B5A7581";

// The seam for tests and mirrors: a binary keyring (as `gpg --export` writes) whose primary keys
// are trusted instead of the shipped key. Read at each use.
inline constexpr const char* keyringVariable = "TALLOWIN_RELEASES_KEYRING";

// The keyring named by keyringVariable when it is set, else the package's own
// Contents/Resources/keys/yt-dlp-release-signing.gpg.
std::filesystem::path keyring();

// Checks that signature is a good signature over list by a trusted key: with the shipped keyring
// only by releaseKeyFingerprint, with the seam's by any primary key it holds (gpgv looks in no
// other keyring). Runs gpgv once through the process runner; workFolder is an empty folder of
// the caller's that serves as gpgv's home, so no keyring of the user's takes part. Blocks
// while gpgv runs. Throws YtdlpUpdateError::notSigned (a bad signature, another key, no
// signature data), YtdlpUpdateError::signatureUnchecked (no keyring, gpgv would not start or
// stalled), OperationCancelled.
void verify(const std::filesystem::path& list,
            const std::filesystem::path& signature,
            const std::filesystem::path& workFolder,
            std::stop_token stopToken = {});

// The primary-key fingerprints of the VALIDSIG lines in gpgv's --status-fd output.
std::vector<std::string> validSignatureKeys(std::string_view statusOutput);

} // namespace ReleaseSignature
