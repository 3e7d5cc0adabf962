#include "automation/CommandLine.h"

#include "automation/HelpFormatter.h"
#include "platform/Platform.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace CommandLine {

namespace {

std::string commandNames(const CLI::App& app) {
    std::string text;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        text += (text.empty() ? "" : ", ") + command->get_name();
    return text;
}

} // namespace

void configure(CLI::App& app) {
    app.name(programName);
    app.set_version_flag("--version",
                         std::string(programName) + " " + Platform::applicationVersion(),
                         "Print the program's name and version and exit.");
    app.formatter(std::make_shared<HelpFormatter>());
    app.failure_message(failureMessage);
}

std::string failureMessage(const CLI::App* app, const CLI::Error& error) {
    // The innermost command the line selected is the one whose help helps.
    const CLI::App* command = app;
    for (const CLI::App* selected : app->get_subcommands())
        command = selected;
    const std::string path = command == app ? app->get_name() : app->get_name() + " " + command->get_name();

    std::vector<std::string> unknown = command->remaining();
    if (unknown.empty())
        unknown = app->remaining();
    std::string what;
    if (!unknown.empty()) {
        const std::string& first = unknown.front();
        if (first.size() > 1 && first.front() == '-')
            what = "unknown option " + first;
        else if (command == app)
            what = "unknown command \"" + first + "\"; the commands are " + commandNames(*app) + ".";
        else
            what = "unexpected argument \"" + first + "\".";
    } else if (command == app && error.get_name() == "RequiredError") {
        what = "a command is required: " + commandNames(*app) + ".";
    } else {
        what = error.what();
    }
    return path + ": " + what + "\nRun \"" + path + " --help\" for more information.\n";
}

} // namespace CommandLine
