#pragma once

#include "appcore/DownloadTester.h"

#include <QWidget>

class ElidedLabel;
class FileActions;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class SignInRetryButton;
struct BrowserSignIn;
class WrappingLabel;

// One row of the list of downloads: its link (the file's name once there is a file) with Cancel
// while it waits or runs and Remove once it ended; under it, "Waiting…", the progress, the file with
// its actions, or the error with its cause in plain words and the next steps to take.
class DownloadRow : public QWidget {
    Q_OBJECT
public:
    // row must outlive the widget; actions hold the seams the file actions use.
    DownloadRow(DownloadTester& row, FileActions* actions, QWidget* parent = nullptr);

    DownloadTester& tester() const { return m_row; }
    // Where the buttons of the next steps after a failure go ("Update yt-dlp and Try Again" is the
    // first); another may be added beside it.
    QHBoxLayout* nextSteps() const { return m_nextSteps; }

signals:
    // The row's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);
    void updateAndRetryRequested(DownloadTester* row);
    // "Try Again Signed In" retried the row with this browser's sign-in, which the window keeps.
    void signInChosen(const BrowserSignIn& signIn, const QString& label);
    // Cancel or Remove was pressed.
    void removeRequested(DownloadTester* row);

private:
    QWidget* makeFinishedPart();
    QWidget* makeFailedPart();
    void showState();
    void showProgress();
    void showTitle();

    DownloadTester& m_row;
    FileActions* m_actions;
    ElidedLabel* m_title = nullptr; // the link, until there is a file
    ElidedLabel* m_fileName = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_waiting = nullptr;
    QWidget* m_running = nullptr;
    QLabel* m_runningLabel = nullptr;
    QLabel* m_progressDetails = nullptr; // beside it: percentage, sizes, speed, time left
    QProgressBar* m_bar = nullptr;
    QWidget* m_finished = nullptr;
    WrappingLabel* m_folder = nullptr; // "In <folder>", selectable
    QLabel* m_note = nullptr;
    QWidget* m_failed = nullptr;
    WrappingLabel* m_failedSentence = nullptr; // the cause in plain words, above the error
    WrappingLabel* m_failedText = nullptr;
    QHBoxLayout* m_nextSteps = nullptr;
    QPushButton* m_retryButton = nullptr;
    SignInRetryButton* m_signInButton = nullptr; // when the user's browser sign-in may let it through
    QLabel* m_signedIn = nullptr;                // "Signed in with …" for a download that used a sign-in
    DownloadTester::State::Kind m_announced = DownloadTester::State::Kind::idle;
};
