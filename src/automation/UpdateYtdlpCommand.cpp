#include "automation/UpdateYtdlpCommand.h"

#include "automation/CommandRunner.h"
#include "automation/StopOnSignal.h"
#include "automation/YtdlpUpdateRun.h"

#include <CLI/CLI.hpp>

UpdateYtdlpCommand::UpdateYtdlpCommand(CLI::App& app)
    : m_command(app.add_subcommand("update-ytdlp", "Download the latest yt-dlp release into your data folder.")) {
    m_command->footer(
        "Nothing downloaded runs before its SHA-256 matches the release's SHA2-256SUMS and gpgv has found "
        "that list signed by yt-dlp's release key (the package's keyring, or the one "
        "TALLOWIN_RELEASES_KEYRING names).");
}

bool UpdateYtdlpCommand::selected() const {
    return m_command->parsed();
}

int UpdateYtdlpCommand::run(StopOnSignal& stop) {
    // A signal that came past the last cancellation point let the install finish: say so.
    return CommandRunner::run(stop, CommandRunner::SignalRule::cancelledEnds, [&stop] {
        return YtdlpUpdateRun::outcomeText(YtdlpUpdateRun::run(stop.token()));
    });
}
