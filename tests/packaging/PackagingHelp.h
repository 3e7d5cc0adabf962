#pragma once

#include <set>
#include <string>
#include <vector>

// What tallowin-cli's own help says, so that the tests compare the package's pages and
// completions with the program rather than with a list of their own.
namespace PackagingHelp {

// The subcommands `tallowin-cli --help` lists, in its order.
std::vector<std::string> subcommands();

// Every long option (such as "--quality") that `tallowin-cli <subcommand> --help` lists.
std::set<std::string> longOptions(const std::string& subcommand);

} // namespace PackagingHelp
