#include "download/ProgressThrottle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using Phase = DownloadProgress::Phase;

DownloadProgress at(Phase phase, double fraction, int stream = 0) {
    DownloadProgress progress;
    progress.phase = phase;
    progress.fraction = fraction;
    progress.stream = stream;
    return progress;
}

} // namespace

TEST(ProgressThrottle, PassesTenASecondAndEveryChangeOfPhaseOrStream) {
    std::chrono::steady_clock::time_point now{};
    std::vector<DownloadProgress> passed;
    ProgressThrottle throttle([&passed](const DownloadProgress& progress) { passed.push_back(progress); },
                              [&now] { return now; });
    struct Step {
        std::chrono::milliseconds advance;
        DownloadProgress progress;
        bool passes;
    };
    const Step steps[] = {
        {0ms, at(Phase::downloading, 0.0, 1), true},   // the first always
        {50ms, at(Phase::downloading, 0.1, 1), false}, // too soon
        {49ms, at(Phase::downloading, 0.2, 1), false}, // 99 ms after the last passed
        {1ms, at(Phase::downloading, 0.3, 1), true},   // 100 ms
        {10ms, at(Phase::downloading, 0.0, 2), true},  // a new stream
        {10ms, at(Phase::merging, 0.0), true},         // a new phase
        {10ms, at(Phase::checking, 0.0), true},
        {10ms, at(Phase::converting, 0.0), true},
        {10ms, at(Phase::converting, 0.5), false},
        {500ms, at(Phase::converting, 0.9), true},
    };
    std::vector<DownloadProgress> expected;
    for (const Step& step : steps) {
        now += step.advance;
        throttle.report(step.progress);
        if (step.passes)
            expected.push_back(step.progress);
    }
    EXPECT_EQ(passed, expected);
}
