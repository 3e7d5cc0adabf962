#pragma once

#include "automation/CliCommand.h"

class DownloadCommand : public CliCommand {
public:
    explicit DownloadCommand(CLI::App& app);
    bool selected() const override;
    int run() override;

private:
    CLI::App* m_command = nullptr;
};
