#pragma once

#include "automation/CliCommand.h"

class UpdateYtdlpCommand : public CliCommand {
public:
    explicit UpdateYtdlpCommand(CLI::App& app);
    bool selected() const override;
    int run() override;

private:
    CLI::App* m_command = nullptr;
};
