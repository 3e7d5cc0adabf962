#pragma once

#include "automation/CliCommand.h"
#include "download/VideoQuality.h"

#include <stop_token>
#include <string>

// `tallowin-cli download URL`: the "Download Video" action. Runs the whole download pipeline and
// prints the finished file's path (or, with --json, one object describing it) on standard output.
class DownloadCommand : public CliCommand {
public:
    explicit DownloadCommand(CLI::App& app);
    bool selected() const override;
    // Blocks until the download ends. Returns 0, 1 on any error (its text on standard error; a
    // result that cannot be written to standard output is one), or 128 + N after signal N
    // (see StopOnSignal). Never throws.
    int run(StopOnSignal& stop) override;

private:
    // Runs the download and returns the line to print: the file's path, or the JSON object.
    // Throws what VideoDownloader::download throws.
    std::string download(const std::string& url, VideoQuality quality, std::stop_token stopToken) const;

    CLI::App* m_command = nullptr;
    std::string m_url; // as typed; a text beginning with "-" arrives among the extras instead
    std::string m_quality = "highest";
    bool m_forceMP4 = true;
    bool m_compatibleMP4 = false;
    bool m_json = false;
    bool m_updateAndRetry = false;
};
