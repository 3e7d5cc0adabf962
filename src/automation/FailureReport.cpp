#include "automation/FailureReport.h"

#include "download/BrowserProfiles.h"
#include "download/DownloadError.h"
#include "download/UpdateAdvice.h"

namespace FailureReport {

namespace {

std::string signInHint(const std::optional<BrowserSignIn>& signedIn) {
    if (signedIn)
        return "The sign-in of " + signedIn->browser +
               " did not let this download through: sign in to the site in that browser (or name another with "
               "--cookies-from-browser), then run again";
    if (const auto browser = BrowserProfiles::suggestion(BrowserProfiles::find()))
        return "Sign in to the site in your browser, then run again with --cookies-from-browser " + *browser;
    return "Sign in to the site in your browser, then run again with --cookies-from-browser BROWSER (firefox, "
           "chromium, chrome, brave, edge, vivaldi or opera)";
}

} // namespace

std::string text(const std::exception& error,
                 bool withHint,
                 std::chrono::system_clock::time_point now,
                 const std::optional<BrowserSignIn>& signedIn) {
    std::string lines = error.what();
    const auto* failed = dynamic_cast<const DownloadError*>(&error);
    if (!failed)
        return lines;
    const std::string sentence = failed->failure().sentence();
    if (!sentence.empty())
        lines += "\n" + sentence;
    if (!withHint)
        return lines;
    if (const auto advice = UpdateAdvice::forFailure(*failed, now)) {
        lines += "\nyt-dlp " + advice->version + " is " + std::to_string(advice->daysOld) +
                 " days old; sites change often. Run `tallowin-cli update-ytdlp` and try again.";
    }
    if (failed->failure().signInMayHelp())
        lines += "\n" + signInHint(signedIn);
    return lines;
}

} // namespace FailureReport
