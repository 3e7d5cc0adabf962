#include "automation/DownloadRetry.h"

#include "automation/CliOutput.h"
#include "automation/FailureReport.h"
#include "automation/YtdlpUpdateRun.h"
#include "download/DownloadError.h"
#include "download/UpdateAdvice.h"

namespace DownloadRetry {

std::string run(bool updateAndRetry, std::stop_token stopToken, const std::function<std::string()>& download) {
    try {
        return download();
    } catch (const DownloadError& error) {
        if (!updateAndRetry || !UpdateAdvice::forFailure(error))
            throw;
        // The hint is what happens next, so it is not printed.
        CliOutput::printError(FailureReport::text(error, false));
        const YtdlpUpdateOutcome outcome = YtdlpUpdateRun::run(stopToken);
        CliOutput::printError(YtdlpUpdateRun::outcomeText(outcome));
        // The same copy again would fail the same way.
        if (outcome.kind != YtdlpUpdateOutcome::Kind::updated)
            throw;
    }
    return download();
}

} // namespace DownloadRetry
