#pragma once

#include <functional>
#include <string>

class StopOnSignal;

// How every tallowin-cli command ends, in one place: its result on standard output, its error's
// text on standard error, or the status of the signal that stopped it.
namespace CommandRunner {

// What a signal that arrived while the work ran does to its outcome.
enum class SignalRule {
    // The signal's status wins: a result or an error that came after it is not printed.
    signalEnds,
    // Only work that gave up (OperationCancelled) ends with the signal's status; work that
    // finished or failed all the same says so.
    cancelledEnds,
};

// Runs work on this thread and blocks until it returns. Its text goes to standard output through
// CliOutput::printResult, whose status is returned (0, or 1 when it cannot be written); an
// exception's text goes to standard error with status 1 (FailureReport's lines); a signal ends with stop.exitStatus()
// as the rule says. Anything work shows on standard error must be gone when it returns or throws. Never throws.
int run(StopOnSignal& stop, SignalRule rule, const std::function<std::string()>& work);

} // namespace CommandRunner
