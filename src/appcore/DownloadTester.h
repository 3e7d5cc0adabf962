#pragma once

#include "appcore/RunKind.h"
#include "appcore/WorkerRuns.h"
#include "appcore/YtdlpUpdater.h"
#include "download/BrowserSignIn.h"
#include "download/DownloadFailure.h"
#include "download/DownloadProgress.h"
#include "download/DownloadedVideo.h"
#include "download/VideoQuality.h"

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

// One download's model: its link, quality and switches, the download itself and its outcome. The
// window's form keeps what the user typed and chose in one; the list of downloads (DownloadList)
// has one per row. Lives on the GUI thread; the download runs on a worker thread and its
// result comes back as a queued call, so the GUI thread never waits on it.
class DownloadTester : public QObject {
    Q_OBJECT
public:
    struct State {
        using Kind = RunKind;
        Kind kind = Kind::idle;
        DownloadedVideo video;      // finished
        QString message;            // failed
        DownloadFailure failure;    // failed: what yt-dlp's words mean (DownloadFailure::sentence)
        bool updateAdvised = false; // failed: a newer yt-dlp is the likely cure (UpdateAdvice)
        bool signInAdvised = false; // failed: the user's browser sign-in may let it through
        QString signedInWith;       // running, finished, failed: the browser whose sign-in it used, if any

        static State idle() { return {}; }
        static State running() { return {Kind::running, {}, {}, {}, false, false, {}}; }
        static State finished(DownloadedVideo video) {
            return {Kind::finished, std::move(video), {}, {}, false, false, {}};
        }
        static State failed(QString message, DownloadFailure failure = {}, bool updateAdvised = false) {
            return {Kind::failed, {}, std::move(message), failure, updateAdvised, false, {}};
        }
        bool operator==(const State&) const = default;
    };

    // The download seam; by default VideoDownloader::download. Called on a worker thread.
    // onProgress may be called on that thread at any time until it returns.
    using DownloadFunction = std::function<DownloadedVideo(const std::string& url,
                                                           VideoQuality quality,
                                                           bool forceMP4,
                                                           bool compatibleMP4,
                                                           std::stop_token stopToken,
                                                           const DownloadProgressHandler& onProgress,
                                                           const std::optional<BrowserSignIn>& signIn)>;

    explicit DownloadTester(DownloadFunction download = {}, QObject* parent = nullptr);
    // Stops a running download's tool and waits for its thread (SIGTERM ends it at once).
    ~DownloadTester() override;

    QString urlText() const { return m_urlText; }
    VideoQuality quality() const { return m_quality; }
    bool forceMP4() const { return m_forceMP4; }
    bool compatibleMP4() const { return m_compatibleMP4; }
    const State& state() const { return m_state; }
    // How far the running download has come; absent before its first report and when none runs.
    const std::optional<DownloadProgress>& progress() const { return m_progress; }
    // The file's name once yt-dlp has chosen it, kept after the run ends; empty before, and from
    // the start of the next run.
    const QString& fileName() const { return m_fileName; }

    // The usable link: the trimmed text when it parses as a URL with a scheme (PageUrl's rule).
    std::optional<QString> url() const;

    // Each setter notifies only when the value changes.
    void setUrlText(const QString& text);
    void setQuality(VideoQuality quality);
    void setForceMP4(bool on);
    void setCompatibleMP4(bool on);

    // Begins a download with the current values when there is a usable url and none runs.
    void start();
    // Stops the running download (its tool gets SIGTERM) and returns to idle at once.
    void cancel();
    // "Update yt-dlp and Try Again": when the last download failed with updateAdvised, runs the
    // ordinary update through updater (its state shows the progress and errors) and, when that
    // installs a newer copy, starts the failed download again with the settings it had, whatever
    // the form holds by then. updater must outlive the run.
    void updateAndRetry(YtdlpUpdater& updater);
    // "Try Again Signed In": when the last download failed, starts it again with the settings it
    // had and the sign-in of this browser (label names it to the user). The choice holds for every
    // later download of this run; nothing of it is saved.
    void retrySignedIn(const BrowserSignIn& signIn, const QString& label);
    // Later downloads of this model use this browser's sign-in (the list hands a choice made on
    // one row to the rows added after it).
    void useSignIn(const BrowserSignIn& signIn, const QString& label);
    // The browser chosen for this run, named as the user chose it; empty before any choice.
    const QString& signInLabel() const { return m_signInLabel; }

    // A file an earlier run left in the staging folder: shown as finished, with nothing to run.
    void showFinished(DownloadedVideo video);

    // Where a list keeps a limit on running downloads: a retry that finds no room goes back to
    // waiting (idle, its settings kept) for the list to start it.
    void setRoomCheck(std::function<bool()> hasRoom) { m_hasRoom = std::move(hasRoom); }

signals:
    void urlTextChanged(const QString& text);
    void qualityChanged(VideoQuality quality);
    void forceMP4Changed(bool on);
    void compatibleMP4Changed(bool on);
    // Emitted on every write of the state, even an equal one.
    void stateChanged();
    void progressChanged();

private:
    // One download's settings, kept to try it again.
    struct Request {
        std::string url;
        VideoQuality quality = VideoQuality::highest;
        bool forceMP4 = true;
        bool compatibleMP4 = false;
        std::optional<BrowserSignIn> signIn;
        QString signInLabel;
    };
    void run(const Request& request);
    void runWhenRoom(const Request& request);
    void setState(State state);

    DownloadFunction m_download;
    QString m_urlText;
    VideoQuality m_quality = VideoQuality::highest;
    bool m_forceMP4 = true;
    bool m_compatibleMP4 = false;
    State m_state;
    std::optional<DownloadProgress> m_progress;
    QString m_fileName;
    std::optional<Request> m_lastRequest;
    std::optional<BrowserSignIn> m_signIn; // chosen for the rest of the run
    QString m_signInLabel;
    QMetaObject::Connection m_retryWatch; // the update that a retry waits for
    std::function<bool()> m_hasRoom;
    // cancel() drops the run's results, so a cancelled download ends in idle and never disturbs a newer one.
    WorkerRuns m_runs{this};
};
