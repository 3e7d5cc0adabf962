#pragma once

#include "app/FittingScrollArea.h"
#include "appcore/DownloadTester.h"
#include "appcore/WorkerRuns.h"

#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>

class ElidedLabel;
class QLabel;
class QMenu;
class QPushButton;
class SignInRetryButton;
class WrappingLabel;

// The outcome of the download form: while it runs, its phase and progress; when it finished,
// the file with its actions; when it failed, the error, selectable. At most one of the three is
// shown, and nothing while idle. A failure that yt-dlp's words explain says so in plain words above
// the error, with "Update yt-dlp and Try Again" below it when that is the likely cure. It scrolls rather than letting a
// long error push the window past the bottom of the screen; its owner gives it a fixed height (FittingScrollArea).
class DownloadOutcome : public FittingScrollArea {
    Q_OBJECT
public:
    // Where "Save a Copy…" puts the file; replace is true only when the user agreed to replace
    // an existing file of that name.
    struct CopyTarget {
        QString path;
        bool replace = false;
    };

    // The seams to the system; each defaults to the real one.
    struct Services {
        // FileRevealer::reveal; calls failed (on the GUI thread) when nothing could show the file.
        std::function<void(const std::filesystem::path&, std::function<void()> failed)> reveal;
        std::function<bool(const QUrl&)> open; // QDesktopServices::openUrl
        // Asks where to save a copy (a save dialog in the Videos folder that confirms replacing
        // an existing file); none when the user cancels. Blocks in the dialog's own event loop.
        std::function<std::optional<CopyTarget>(QWidget* parent, const QString& suggestedName)> chooseCopyTarget;
    };

    // tester must outlive the outcome.
    DownloadOutcome(DownloadTester& tester, Services services, QWidget* parent = nullptr);
    // Waits for a copy in progress after asking it to stop.
    ~DownloadOutcome() override;

signals:
    // A download's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);
    // "Update yt-dlp and Try Again" was pressed (see DownloadTester::updateAndRetry).
    void updateAndRetryRequested();

protected:
    // Shift+F10 and the Menu key on the file's name or buttons open the file's menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeFinishedRow(QWidget* parent);
    QWidget* makeFailedRow(QWidget* parent);
    void showState();
    void showDeclinedLink();
    void showProgress();
    void showFileMenu(const QPoint& globalPosition);
    void openFile();
    void revealFile();
    void saveCopy();
    void complain(const QString& text);

    DownloadTester& m_tester;
    Services m_services;
    QLabel* m_runningLabel = nullptr;
    QLabel* m_progressDetails = nullptr; // beside it: percentage, sizes, speed, time left
    QWidget* m_finishedRow = nullptr;
    ElidedLabel* m_fileName = nullptr;
    WrappingLabel* m_folder = nullptr; // "In <folder>", selectable
    QPushButton* m_showInFolder = nullptr;
    QLabel* m_note = nullptr;
    QPointer<QMenu> m_fileMenu; // while it is open
    QWidget* m_failedRow = nullptr;
    WrappingLabel* m_failedSentence = nullptr; // the cause in plain words, above the error
    WrappingLabel* m_failedText = nullptr;
    QPushButton* m_retryButton = nullptr;
    SignInRetryButton* m_signInButton = nullptr; // when the user's browser sign-in may let it through
    QLabel* m_signedIn = nullptr;                // "Signed in with …" for a download that used a sign-in
    WrappingLabel* m_declined = nullptr;         // a link that arrived while a download ran
    DownloadTester::State::Kind m_announced = DownloadTester::State::Kind::idle;
    WorkerRuns m_copies{this}; // "Save a Copy…"; joined (after a stop request) when the outcome goes
};
