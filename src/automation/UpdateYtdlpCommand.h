#pragma once

#include "automation/CliCommand.h"

class UpdateYtdlpCommand : public CliCommand {
public:
    explicit UpdateYtdlpCommand(CLI::App& app);
    bool selected() const override;
    // Blocks until the update ends. Returns 0 after the final line on standard output; 1 on any
    // error or when that line cannot be written (the text on standard error); 128 + N after
    // signal N before the install starts. Never throws.
    int run(StopOnSignal& stop) override;

private:
    CLI::App* m_command = nullptr;
};
