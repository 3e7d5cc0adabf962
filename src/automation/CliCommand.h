#pragma once

namespace CLI {
class App;
}

// One subcommand of tallowin-cli. The constructor declares the subcommand and its options on the
// app; run() is called when the parsed command line selected it and returns the exit status.
class CliCommand {
public:
    virtual ~CliCommand() = default;
    virtual bool selected() const = 0;
    virtual int run() = 0;
};
