#include "automation/FailureReport.h"

#include "download/DownloadError.h"
#include "download/UpdateAdvice.h"

namespace FailureReport {

std::string text(const std::exception& error, bool withHint, std::chrono::system_clock::time_point now) {
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
    return lines;
}

} // namespace FailureReport
