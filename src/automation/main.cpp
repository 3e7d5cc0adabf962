#include "automation/CommandLine.h"
#include "automation/DownloadCommand.h"
#include "automation/StatusCommand.h"
#include "automation/StopOnSignal.h"
#include "automation/UpdateYtdlpCommand.h"
#include "platform/StandardStreams.h"

#include <CLI/CLI.hpp>

#include <csignal>

int main(int argc, char** argv) {
    StandardStreams::openClosedOnes();
    // A reader that goes away must not kill us; writes then fail with EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);

    CLI::App app{"Tallowin saves a video from a link as one file that plays."};
    // Before the subcommands: they inherit the help layout and the failure message.
    CommandLine::configure(app);
    app.require_subcommand(1);
    StatusCommand status(app);
    DownloadCommand download(app);
    UpdateYtdlpCommand updateYtdlp(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& helpOrVersion) {
        return app.exit(helpOrVersion);
    } catch (const CLI::ParseError& error) {
        // Scripts test for one failure status, whatever was wrong with the command line.
        app.exit(error);
        return 1;
    }

    for (CliCommand* command : {static_cast<CliCommand*>(&status),
                                static_cast<CliCommand*>(&download),
                                static_cast<CliCommand*>(&updateYtdlp)}) {
        if (command->selected()) {
            // Before the command starts any thread, so that the signals reach only the waiter.
            StopOnSignal stop;
            return command->run(stop);
        }
    }
    return 1;
}
