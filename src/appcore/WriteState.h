#pragma once

#include <utility>

// When a model's state setter tells its observers.
enum class StateNotify {
    // Every write, even of an equal value: the download form re-shows its outcome each time.
    everyWrite,
    // Only a different value, and an equal one is not even written: the update's progress
    // arrives many times with the same phase.
    onChange,
};

// Writes next into state under the policy. Returns whether the owner must notify. Never throws
// unless T's comparison or move assignment does.
template <class T> bool writeState(T& state, T next, StateNotify notify) {
    if (notify == StateNotify::onChange && next == state)
        return false;
    state = std::move(next);
    return true;
}
