// PLACEHOLDER: replaced by the real command.
#include "automation/DownloadCommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>

DownloadCommand::DownloadCommand(CLI::App& app) : m_command(app.add_subcommand("download", "not built yet")) {}

bool DownloadCommand::selected() const { return m_command->parsed(); }

int DownloadCommand::run() {
    std::fputs("not built yet\n", stderr);
    return 1;
}
