#pragma once

#include "automation/CliCommand.h"

#include <stop_token>
#include <string>

// `tallowin-cli status [--json]`: which yt-dlp is active, both yt-dlp versions, and the versions
// of ffmpeg, ffprobe and deno. Missing tools are reported, never an error: the exit status is 0.
class StatusCommand : public CliCommand {
public:
    explicit StatusCommand(CLI::App& app);
    bool selected() const override;
    // Blocks for about one tool start (the lookups run side by side). Returns 0; 1 when standard
    // output cannot be written (the reason on standard error); 128 + N after signal N, printing
    // nothing. Never throws.
    int run(StopOnSignal& stop) override;

private:
    // The lookups' answers, as lines or as JSON. Blocks as run() does; a stop ends the lookups.
    std::string report(std::stop_token token) const;

    CLI::App* m_command = nullptr;
    bool m_json = false;
};
