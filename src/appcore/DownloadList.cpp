#include "appcore/DownloadList.h"

#include "download/PageUrl.h"

#include <QRegularExpression>

#include <algorithm>
#include <filesystem>

DownloadList::Links DownloadList::parse(const QString& text) {
    Links links;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString& word : text.split(space, Qt::SkipEmptyParts)) {
        const std::optional<std::string> url = PageUrl::parse(word.toStdString());
        QStringList& into = url ? links.usable : links.rejected;
        const QString link = url ? QString::fromStdString(*url) : word;
        if (!into.contains(link))
            into << link;
    }
    return links;
}

DownloadList::DownloadList(DownloadTester::DownloadFunction download, QObject* parent)
    : QObject(parent), m_download(std::move(download)) {}

DownloadList::~DownloadList() {
    // Each tester stops its tool and joins its thread as it goes.
    for (auto& row : m_rows)
        row->disconnect(this);
    m_rows.clear();
    m_removed.clear();
}

std::vector<DownloadTester*>
DownloadList::add(const QStringList& links, VideoQuality quality, bool forceMP4, bool compatibleMP4) {
    std::vector<DownloadTester*> added;
    for (const QString& link : links) {
        auto row = std::make_unique<DownloadTester>(m_download);
        row->setUrlText(link);
        row->setQuality(quality);
        row->setForceMP4(forceMP4);
        row->setCompatibleMP4(compatibleMP4);
        if (m_rowSetup)
            m_rowSetup(*row);
        added.push_back(insert(std::move(row), size()));
    }
    startWaiting();
    emit activityChanged();
    return added;
}

DownloadTester* DownloadList::addFinished(const QString& link, DownloadedVideo video) {
    auto row = std::make_unique<DownloadTester>(m_download);
    row->setUrlText(link);
    row->showFinished(std::move(video));
    // Earlier runs' files sit above this run's rows, in the order they were added.
    return insert(std::move(row), m_earlierFiles++);
}

DownloadTester* DownloadList::insert(std::unique_ptr<DownloadTester> row, int index) {
    DownloadTester* tester = row.get();
    // A row tried again (signed in, or after an update) counts against the limit like any other.
    tester->setRoomCheck([this] { return runningCount() < maxRunning; });
    m_rows.insert(m_rows.begin() + index, std::move(row));
    connect(tester, &DownloadTester::stateChanged, this, [this, tester] {
        const DownloadTester::State::Kind kind = tester->state().kind;
        if (kind == DownloadTester::State::Kind::finished || kind == DownloadTester::State::Kind::failed) {
            emit rowEnded(tester);
            startWaiting();
            dropSweptFiles(); // the sweep ran as that download started
        }
        emit activityChanged();
    });
    connect(tester, &DownloadTester::progressChanged, this, &DownloadList::activityChanged);
    emit rowAdded(tester, index);
    return tester;
}

int DownloadList::indexOf(const DownloadTester* row) const {
    const auto found = std::find_if(m_rows.begin(), m_rows.end(), [row](const auto& r) { return r.get() == row; });
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}

int DownloadList::runningCount() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const auto& row) {
        return row->state().kind == DownloadTester::State::Kind::running;
    }));
}

int DownloadList::waitingCount() const {
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [this](const auto& row) { return isWaiting(*row); }));
}

void DownloadList::startWaiting() {
    int running = runningCount();
    for (auto& row : m_rows) {
        if (running >= maxRunning)
            break;
        if (isWaiting(*row)) {
            row->start();
            ++running;
        }
    }
}

void DownloadList::remove(DownloadTester* row) {
    const int index = indexOf(row);
    if (index < 0)
        return;
    std::unique_ptr<DownloadTester> taken = std::move(m_rows[static_cast<size_t>(index)]);
    m_rows.erase(m_rows.begin() + index);
    if (index < m_earlierFiles)
        --m_earlierFiles;
    taken->disconnect(this);
    taken->cancel(); // its tool gets SIGTERM; the thread is joined when the tester goes
    emit rowRemoved(taken.get());
    if (m_removed.empty())
        QMetaObject::invokeMethod(
            this, [this] { m_removed.clear(); }, Qt::QueuedConnection);
    m_removed.push_back(std::move(taken));
    startWaiting();
    emit activityChanged();
}

void DownloadList::dropSweptFiles() {
    std::vector<DownloadTester*> gone;
    for (int i = 0; i < m_earlierFiles; ++i) {
        std::error_code error;
        const DownloadTester& row = *m_rows[static_cast<size_t>(i)];
        if (!std::filesystem::exists(row.state().video.fileURL, error) && !error)
            gone.push_back(m_rows[static_cast<size_t>(i)].get());
    }
    for (DownloadTester* row : gone)
        remove(row);
}

bool DownloadList::cancelNewestRunning() {
    for (auto row = m_rows.rbegin(); row != m_rows.rend(); ++row) {
        if ((*row)->state().kind == DownloadTester::State::Kind::running) {
            remove(row->get());
            return true;
        }
    }
    return false;
}

void DownloadList::cancelAll() {
    std::vector<DownloadTester*> active;
    for (auto& row : m_rows)
        if (row->state().kind == DownloadTester::State::Kind::running || isWaiting(*row))
            active.push_back(row.get());
    // The waiting ones first, so that none starts in a freed place.
    std::reverse(active.begin(), active.end());
    for (DownloadTester* row : active) {
        if (isWaiting(*row))
            remove(row);
    }
    for (DownloadTester* row : active) {
        if (indexOf(row) >= 0)
            remove(row);
    }
}
