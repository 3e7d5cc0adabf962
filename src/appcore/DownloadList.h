#pragma once

#include "appcore/DownloadTester.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The window's list of downloads: one DownloadTester per link, in the order added. Downloads
// start in that order, at most maxRunning at once; the others wait (a row whose tester is idle is
// waiting: a cancelled row leaves the list). Each row keeps the quality and switches it was added
// with. Lives on the GUI thread; needs QtCore only.
class DownloadList : public QObject {
    Q_OBJECT
public:
    // A pasted list of twenty must not open twenty connections to one site.
    static constexpr int maxRunning = 3;

    // The links of a text, separated by white space or line breaks: those that pass the link rule
    // (PageUrl), each once and in order, and the words that do not.
    struct Links {
        QStringList usable;
        QStringList rejected;
    };
    static Links parse(const QString& text);

    // Row setup for the rest of the run, applied to every row added from then on (a choice the
    // window keeps, such as a sign-in to retry with).
    using RowSetup = std::function<void(DownloadTester&)>;

    explicit DownloadList(DownloadTester::DownloadFunction download = {}, QObject* parent = nullptr);
    // Cancels every row and waits for their threads.
    ~DownloadList() override;

    // One waiting row per link with these settings, then starts what the limit allows. Links are
    // taken as given (call parse first for typed text). Returns the rows added.
    std::vector<DownloadTester*> add(const QStringList& links, VideoQuality quality, bool forceMP4, bool compatibleMP4);
    // A finished file from an earlier run (the staging folder's), shown as a finished row above this
    // run's rows, below those added before it. It leaves the list once its file is gone (the
    // day-old sweep, which runs as a download starts, removed it).
    DownloadTester* addFinished(const QString& link, DownloadedVideo video);

    int size() const { return static_cast<int>(m_rows.size()); }
    // Oldest first.
    DownloadTester& row(int index) const { return *m_rows.at(static_cast<size_t>(index)); }
    int indexOf(const DownloadTester* row) const;
    bool isWaiting(const DownloadTester& row) const { return row.state().kind == DownloadTester::State::Kind::idle; }
    int runningCount() const;
    int waitingCount() const;

    // Cancels a waiting or running row, or removes an ended one; either way it leaves the list.
    void remove(DownloadTester* row);
    // Escape: cancels the newest running download; false when none runs.
    bool cancelNewestRunning();
    // Quit: every waiting and running row leaves the list; ended ones stay.
    void cancelAll();

    void setRowSetup(RowSetup setup) { m_rowSetup = std::move(setup); }

signals:
    void rowAdded(DownloadTester* row, int index);
    // Emitted before the row is deleted (later, from the event loop).
    void rowRemoved(DownloadTester* row);
    // A row's download ended: finished or failed.
    void rowEnded(DownloadTester* row);
    // The number of running or waiting rows, or a running row's progress, changed.
    void activityChanged();

private:
    DownloadTester* insert(std::unique_ptr<DownloadTester> row, int index);
    void startWaiting();
    void dropSweptFiles();

    DownloadTester::DownloadFunction m_download;
    RowSetup m_rowSetup;
    std::vector<std::unique_ptr<DownloadTester>> m_rows;
    int m_earlierFiles = 0; // the rows at the top that addFinished made
    // Removed rows, deleted from the event loop (the caller may be one of the row's own widgets)
    // or with the list; their threads are joined then.
    std::vector<std::unique_ptr<DownloadTester>> m_removed;
};
