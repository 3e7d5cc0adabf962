#pragma once

#include <string>
#include <vector>

// The window's command line, `tallowin [OPTION]... [URL]...`, read the GNU way: --help and
// --version print and end the program, "--" ends the options, any number of links. Pure.
struct LaunchArguments {
    enum class Action { run, help, version, usageError };

    Action action = Action::run;
    std::vector<std::string> links; // run: the links to download, in order
    std::string message;            // usageError: what was wrong, e.g. "unrecognized option '--x'"

    // arguments without the program's name. Qt's own options (-platform, -style…) must be taken
    // out first; while they are still in, pass qtOptionsLeft so that only --help and --version count.
    static LaunchArguments parse(const std::vector<std::string>& arguments, bool qtOptionsLeft = false);

    static std::string helpText();      // for --help, on standard output
    static std::string versionText();   // for --version: "tallowin 0.1.0" and the licence
    std::string usageErrorText() const; // "tallowin: <message>" and where help is
};
