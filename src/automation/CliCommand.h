#pragma once

class StopOnSignal;

namespace CLI {
class App;
}

// One subcommand of tallowin-cli. The constructor declares the subcommand and its options on the
// app; run() is called when the parsed command line selected it and returns the exit status.
class CliCommand {
public:
    virtual ~CliCommand() = default;
    virtual bool selected() const = 0;
    // stop carries the process's signal handling: its token is the command's cancellation, and a
    // command that it interrupted returns stop.exitStatus().
    virtual int run(StopOnSignal& stop) = 0;
};
