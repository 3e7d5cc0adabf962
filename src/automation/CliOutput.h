#pragma once

#include <string>

// What a command hands to the shell. A script trusts the exit status, so a result that could not
// be written must not read as success.
namespace CliOutput {

// Writes text, cleaned by SafeText (Where::shown), and a newline to standard error. Never throws;
// a failure there has nowhere to go.
void printError(const std::string& text);

// Writes text and a newline to standard output, all of it, and returns 0. When the bytes cannot be
// written (a full disk, a reader that went away, a closed descriptor) it prints "Could not write
// the result: <reason>" on standard error instead and returns 1. Never throws.
int printResult(const std::string& text);

} // namespace CliOutput
