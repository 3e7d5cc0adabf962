#pragma once

#include "automation/CliCommand.h"

class StatusCommand : public CliCommand {
public:
    explicit StatusCommand(CLI::App& app);
    bool selected() const override;
    int run() override;

private:
    CLI::App* m_command = nullptr;
};
