#pragma once

#include "automation/CliCommand.h"
#include "download/BrowserSignIn.h"
#include "download/VideoDownloader.h"
#include "download/VideoQuality.h"

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// `tallowin-cli download URL...`: the "Download Video" action. Runs the whole download pipeline
// for each link in turn and prints each finished file's path (or, with --json, one object
// describing it) on standard output as soon as the file is ready.
class DownloadCommand : public CliCommand {
public:
    explicit DownloadCommand(CLI::App& app);
    bool selected() const override;
    // Blocks until every link is done. Returns 0; 1 when the command line is unusable (nothing
    // runs then), or when any link failed or its result could not be written to standard output
    // (its error on standard error, after the link when there are several; the others still
    // run); or 128 + N after signal N, which ends the whole call (see StopOnSignal). Never throws.
    int run(StopOnSignal& stop) override;

private:
    // Runs one download, moves the file into --output-dir when given, and returns the line to
    // print: the file's path, or the JSON object. Throws what VideoDownloader::download throws,
    // and a std::runtime_error naming the folder when the move fails.
    std::string download(const std::string& url, VideoQuality quality, std::stop_token stopToken) const;
    DownloadedVideo runPipeline(const std::string& url, VideoQuality quality, std::stop_token stopToken) const;

    CLI::App* m_command = nullptr;
    std::vector<std::string> m_urls; // as typed; after "--" a text beginning with "-" is one
    std::string m_quality = "highest";
    std::string m_outputDir;
    bool m_forceMP4 = true;
    bool m_compatibleMP4 = false;
    bool m_json = false;
    bool m_updateAndRetry = false;
    std::string m_cookiesFromBrowser;      // as typed
    std::optional<BrowserSignIn> m_signIn; // read from it before any download
};
