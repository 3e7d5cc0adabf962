#pragma once

#include <string>

// How an update run ended well: a newer copy installed, or nothing gained.
struct YtdlpUpdateOutcome {
    enum class Kind { updated, alreadyCurrent };

    Kind kind = Kind::updated;
    std::string version;

    static YtdlpUpdateOutcome updated(std::string version) { return {Kind::updated, std::move(version)}; }
    static YtdlpUpdateOutcome alreadyCurrent(std::string version) { return {Kind::alreadyCurrent, std::move(version)}; }

    bool operator==(const YtdlpUpdateOutcome&) const = default;
};
