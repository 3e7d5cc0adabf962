#include "PackagingHelp.h"

#include "support/CliRun.h"

#include <regex>
#include <sstream>
#include <stdexcept>

namespace PackagingHelp {

std::vector<std::string> subcommands() {
    const CliResult help = runCli({"--help"});
    if (help.exitStatus != 0)
        throw std::runtime_error("tallowin-cli --help failed: " + help.err);
    std::vector<std::string> names;
    std::istringstream lines(help.out);
    bool inList = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Subcommands:")
            inList = true;
        else if (inList && line.rfind("  ", 0) == 0 && line[2] != ' ')
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
        else if (inList && line.rfind("   ", 0) != 0)
            break;
    }
    return names;
}

std::set<std::string> longOptions(const std::string& subcommand) {
    const CliResult help = runCli({subcommand, "--help"});
    if (help.exitStatus != 0)
        throw std::runtime_error("tallowin-cli " + subcommand + " --help failed: " + help.err);
    std::set<std::string> options;
    const std::regex option(R"(--[a-z0-9][a-z0-9-]*)");
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        // Only the name lines: the descriptions under them may mention options in passing.
        if (line.rfind("  -", 0) != 0)
            continue;
        const std::string& names = line;
        for (std::sregex_iterator it(names.begin(), names.end(), option), end; it != end; ++it)
            options.insert(it->str());
    }
    return options;
}

} // namespace PackagingHelp
