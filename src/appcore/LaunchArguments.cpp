#include "appcore/LaunchArguments.h"

#include "platform/Platform.h"

LaunchArguments LaunchArguments::parse(const std::vector<std::string>& arguments, bool qtOptionsLeft) {
    LaunchArguments parsed;
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            return {Action::help, {}, {}};
        } else if (options && (argument == "--version" || argument == "-V")) {
            return {Action::version, {}, {}};
        } else if (qtOptionsLeft) {
            continue;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            parsed.action = Action::usageError;
            parsed.message = argument.starts_with("--") ? "unrecognized option '" + argument + "'"
                                                        : "invalid option -- '" + argument.substr(1) + "'";
        } else {
            parsed.links.push_back(argument);
        }
    }
    if (parsed.action == Action::usageError)
        parsed.links.clear();
    return parsed;
}

std::string LaunchArguments::helpText() {
    return "Usage: tallowin [OPTION]... [URL]...\n"
           "Open the Tallowin window; with URLs, download the video at each link\n"
           "(at most three at once, the others waiting in the window's list).\n"
           "When Tallowin is already running, the links go to its window's list.\n"
           "\n"
           "  -h, --help     display this help and exit\n"
           "  -V, --version  output version information and exit\n"
           "\n"
           "Without a window: tallowin-cli download URL (see tallowin-cli --help).\n";
}

std::string LaunchArguments::versionText() {
    return "tallowin " + Platform::applicationVersion() +
           "\n"
           "License: MIT. This is free software: you are free to change and redistribute it.\n";
}

std::string LaunchArguments::usageErrorText() const {
    return "tallowin: " + message + "\nTry 'tallowin --help' for more information.\n";
}
