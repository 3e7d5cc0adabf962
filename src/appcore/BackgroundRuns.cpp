#include "appcore/BackgroundRuns.h"

BackgroundRuns::~BackgroundRuns() {
    stopAll();
    // jthread's destructor joins.
    m_runs.clear();
}

std::stop_source BackgroundRuns::start(std::function<void(std::stop_token)> work) {
    pruneFinished();
    auto done = std::make_shared<std::atomic_bool>(false);
    std::jthread thread([work = std::move(work), done](std::stop_token stopToken) {
        work(stopToken);
        done->store(true);
    });
    std::stop_source source = thread.get_stop_source();
    m_runs.push_back(Run{std::move(thread), std::move(done)});
    return source;
}

void BackgroundRuns::stopAll() {
    for (Run& run : m_runs)
        run.thread.request_stop();
}

void BackgroundRuns::pruneFinished() {
    std::erase_if(m_runs, [](const Run& run) { return run.done->load(); });
}
