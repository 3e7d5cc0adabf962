#include "automation/YtdlpUpdateRun.h"

#include "automation/ActivityLine.h"
#include "download/DownloadProgressText.h"
#include "ytdlp/YtdlpUpdateEngine.h"

#include <mutex>

namespace {

// The text of a phase. Off a terminal each phase is one line, so the percentage is left out there.
std::string phaseText(const YtdlpUpdatePhase& phase, bool withPercentage) {
    switch (phase.kind) {
    case YtdlpUpdatePhase::Kind::waiting:
        return "Waiting for another update to finish\u2026";
    case YtdlpUpdatePhase::Kind::downloading:
        if (!withPercentage)
            return "Downloading yt-dlp\u2026";
        return "Downloading yt-dlp\u2026 " + std::to_string(DownloadProgressText::percent(phase.fraction)) + "%";
    case YtdlpUpdatePhase::Kind::verifying:
        return "Verifying the download\u2026";
    case YtdlpUpdatePhase::Kind::installing:
        return "Installing\u2026";
    }
    return {};
}

} // namespace

namespace YtdlpUpdateRun {

YtdlpUpdateOutcome run(std::stop_token stopToken) {
    ActivityLine line(true);
    std::mutex shownMutex;
    std::string shown;
    const auto progress = [&](YtdlpUpdatePhase phase) {
        const std::string text = phaseText(phase, line.isTerminal());
        std::lock_guard lock(shownMutex);
        // A fraction arrives for every piece of the file; redraw only when the text changes.
        if (text == shown)
            return;
        shown = text;
        line.show(text);
    };
    return YtdlpUpdateEngine::update(progress, std::move(stopToken));
}

std::string outcomeText(const YtdlpUpdateOutcome& outcome) {
    if (outcome.kind == YtdlpUpdateOutcome::Kind::updated)
        return "Updated to yt-dlp " + outcome.version + ".";
    return "yt-dlp " + outcome.version + " is already the latest release.";
}

} // namespace YtdlpUpdateRun
