#pragma once

#include <variant>

// Where an update run stands: waiting for another run to finish, downloading (with a fraction
// from 0 to 1), verifying, installing.
struct YtdlpUpdatePhase {
    enum class Kind { waiting, downloading, verifying, installing };

    Kind kind = Kind::downloading;
    double fraction = 0; // meaningful for downloading only

    static YtdlpUpdatePhase waiting() { return {Kind::waiting, 0}; }
    static YtdlpUpdatePhase downloading(double fraction) { return {Kind::downloading, fraction}; }
    static YtdlpUpdatePhase verifying() { return {Kind::verifying, 0}; }
    static YtdlpUpdatePhase installing() { return {Kind::installing, 0}; }

    bool operator==(const YtdlpUpdatePhase& other) const {
        return kind == other.kind && (kind != Kind::downloading || fraction == other.fraction);
    }
};
