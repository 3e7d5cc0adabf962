#pragma once

#include <string>

namespace CLI {
class App;
class Error;
} // namespace CLI

// The conventions tallowin-cli's command line follows, in one place: the program's name in usage
// lines (not the path it was started by), --version, help without parser notation, and short
// messages for what the parser refuses.
namespace CommandLine {

inline constexpr const char* programName = "tallowin-cli";

// Applies the conventions to the top-level app. Call it before the subcommands are added: they
// take the formatter and the failure message from their parent when they are made.
void configure(CLI::App& app);

// The message for a refused command line: what was wrong, naming the unknown option or command,
// and where help is, as two lines. app is the top-level app that parsed.
std::string failureMessage(const CLI::App* app, const CLI::Error& error);

} // namespace CommandLine
