#include "download/FreeSpaceWatch.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

FreeSpaceWatch::FreeSpaceWatch(fs::path folder, std::stop_token outer)
    : m_folder(std::move(folder)), m_forward(std::move(outer), Forward{m_run}) {
    if (lowNow()) {
        m_ranLow = true;
        m_run.request_stop();
        return;
    }
    m_thread = std::jthread([this](std::stop_token own) { watch(std::move(own)); });
}

bool FreeSpaceWatch::ranLow() const {
    return m_ranLow || lowNow();
}

std::uintmax_t FreeSpaceWatch::floorFor(std::uintmax_t size) {
    constexpr std::uintmax_t gibibyte = 1024ull * 1024 * 1024;
    return std::min(gibibyte, size / 50);
}

bool FreeSpaceWatch::lowNow() const {
    std::error_code error;
    const fs::space_info space = fs::space(m_folder, error); // statvfs
    if (error || space.capacity == static_cast<std::uintmax_t>(-1))
        return false;
    return space.available < floorFor(space.capacity);
}

void FreeSpaceWatch::watch(std::stop_token own) {
    std::unique_lock lock(m_mutex);
    while (!own.stop_requested() && !m_run.stop_requested()) {
        if (lowNow()) {
            m_ranLow = true;
            m_run.request_stop();
            return;
        }
        // Wakes only for the destructor's stop; the predicate never ends the wait early.
        m_wake.wait_for(lock, own, interval, [] { return false; });
    }
}
