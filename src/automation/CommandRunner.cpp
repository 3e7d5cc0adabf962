#include "automation/CommandRunner.h"

#include "automation/CliOutput.h"
#include "automation/FailureReport.h"
#include "automation/StopOnSignal.h"
#include "platform/OperationCancelled.h"

#include <exception>

int CommandRunner::run(StopOnSignal& stop, SignalRule rule, const std::function<std::string()>& work) {
    const bool signalEnds = rule == SignalRule::signalEnds;
    try {
        const std::string result = work();
        if (signalEnds && stop.interrupted())
            return stop.exitStatus();
        return CliOutput::printResult(result);
    } catch (const OperationCancelled&) {
        return stop.exitStatus();
    } catch (const std::exception& error) {
        // The tools a signal stopped fail in their own words; the signal is the cause.
        if (signalEnds && stop.interrupted())
            return stop.exitStatus();
        CliOutput::printError(FailureReport::text(error));
        return 1;
    }
}
