#pragma once

#include "appcore/AppcastFeed.h"
#include "appcore/WorkerRuns.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

// The application's own update check against an appcast feed fixed at build time. Offers the
// flag the menu needs (whether a check can start now), a user-initiated check and the check at
// launch when the last one is over a day old. Lives on the GUI thread; the feed is fetched on a
// worker thread.
class AppUpdater : public QObject {
    Q_OBJECT
public:
    struct CheckResult {
        enum class Kind { upToDate, newer, failed };
        Kind kind = Kind::upToDate;
        AppcastFeed::Release release; // newer
        QString message;              // failed
    };

    // The feed fetch seam: the body of a successful answer; throws on any failure. Called on a
    // worker thread. By default HttpClient::get with a 15 s limit, any status but 200 an error.
    using FetchFunction = std::function<std::string(const std::string& url, std::stop_token stopToken)>;

    struct Options {
        std::optional<QString> feedUrl;        // absent: the build-time feed; empty: no check can ever start
        std::optional<QString> currentVersion; // absent: this build's version
        std::filesystem::path lastCheckFile;   // empty: "last-update-check" in the data folder
        FetchFunction fetch;
    };

    explicit AppUpdater(QObject* parent = nullptr);
    explicit AppUpdater(Options options, QObject* parent = nullptr);
    // Stops a running check and waits for it (the transfer gives up at once).
    ~AppUpdater() override;

    // False until the first value is delivered (just after construction, on the event loop),
    // without a feed, and while a check runs.
    bool canCheckForUpdates() const { return m_canCheck; }

    // A check the user asked for; its result is always reported. Ignored unless canCheckForUpdates.
    void checkForUpdates();
    // The check at launch: only when a feed exists and the last check is over a day old (or
    // never happened); reports only a newer release.
    void checkInBackgroundIfDue();

signals:
    void canCheckForUpdatesChanged(bool canCheck);
    // userInitiated tells the user's check from the background one.
    void checkFinished(const AppUpdater::CheckResult& result, bool userInitiated);

private:
    void startCheck(bool userInitiated);
    void refreshFlag();

    QString m_feedUrl;
    QString m_currentVersion;
    std::filesystem::path m_lastCheckFile;
    FetchFunction m_fetch;
    bool m_delivered = false;
    bool m_checking = false;
    bool m_canCheck = false;
    WorkerRuns m_runs{this};
};
