// PLACEHOLDER: replaced by the real command.
#include "automation/UpdateYtdlpCommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>

UpdateYtdlpCommand::UpdateYtdlpCommand(CLI::App& app) : m_command(app.add_subcommand("update-ytdlp", "not built yet")) {}

bool UpdateYtdlpCommand::selected() const { return m_command->parsed(); }

int UpdateYtdlpCommand::run() {
    std::fputs("not built yet\n", stderr);
    return 1;
}
