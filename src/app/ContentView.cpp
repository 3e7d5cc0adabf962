#include "app/ContentView.h"

#include "app/AfterFirstPaint.h"
#include "app/DownloadForm.h"
#include "app/ToolsBox.h"
#include "app/WidgetLook.h"
#include "appcore/DownloadList.h"
#include "appcore/DownloadTester.h"
#include "appcore/ToolVersions.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

using WidgetLook::Size;
using WidgetLook::Tone;

namespace {

// Room for the window manager's title bar, which the window's own geometry does not include.
constexpr int titleBarAllowance = 48;

// The usable links of a drop: its URLs, else the links in its text.
QStringList droppedLinks(const QMimeData* data) {
    if (!data)
        return {};
    QString text;
    if (data->hasUrls())
        for (const QUrl& url : data->urls())
            text += url.toString() + QLatin1Char('\n');
    else if (data->hasText())
        text = data->text();
    return DownloadList::parse(text).usable;
}

} // namespace

ContentView::ContentView(YtdlpUpdater& updater,
                         DownloadTester& form,
                         DownloadList& list,
                         ToolVersions& versions,
                         Services services,
                         QWidget* parent)
    : QWidget(parent), m_tester(form), m_list(list), m_versions(versions) {
    setObjectName(QStringLiteral("contentView"));
    auto* root = new QVBoxLayout(this);
    root->setSpacing(18);
    root->setContentsMargins(20, 20, 20, 20);
    root->addWidget(makeHeader());
    m_toolsBox = new ToolsBox(updater, versions, this);
    root->addWidget(m_toolsBox);

    auto* tryIt = new QGroupBox(tr("Try it"), this);
    auto* layout = new QVBoxLayout(tryIt);
    layout->setSpacing(10);
    layout->setContentsMargins(4, 4, 4, 4);
    m_form = new DownloadForm(form, list, tryIt);
    layout->addWidget(m_form);
    m_outcome = new DownloadOutcome(list, std::move(services), tryIt);
    layout->addWidget(m_outcome);
    root->addWidget(tryIt);
    // The padding lies inside the fixed width; the height follows the content.
    setFixedWidth(460);
    setAcceptDrops(true);

    connect(m_toolsBox, &ToolsBox::announced, this, &ContentView::announced);
    connect(m_outcome, &DownloadOutcome::announced, this, &ContentView::announced);
    connect(m_outcome, &DownloadOutcome::updateAndRetryRequested, this, [&updater](DownloadTester* row) {
        row->updateAndRetry(updater);
    });
    connect(m_toolsBox, &ToolsBox::contentChanged, this, &ContentView::fitToScreen);
    connect(m_outcome, &FittingScrollArea::contentChanged, this, &ContentView::fitToScreen);
    connect(&m_list, &DownloadList::activityChanged, this, &ContentView::fitToScreen);
    connect(&m_list, &DownloadList::rowRemoved, this, &ContentView::fitToScreen);
    fitToScreen();
    // The window opens ready for a pasted link.
    m_form->urlField()->setFocus();
}

QWidget* ContentView::makeHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setSpacing(4);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = WidgetLook::makeLabel(tr("Tallowin"), header, "title");
    WidgetLook::apply(title, Tone::primary, Size::title);
    auto* blurb = new QLabel(header);
    blurb->setObjectName(QStringLiteral("blurb"));
    blurb->setTextFormat(Qt::MarkdownText);
    blurb->setText(tr("Adds a **Download Video** command, `tallowin-cli download`. Give it a URL and it passes the "
                      "video file to the next command."));
    blurb->setWordWrap(true);
    WidgetLook::apply(blurb, Tone::secondary);
    layout->addWidget(title);
    layout->addWidget(blurb);
    return header;
}

void ContentView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_list.cancelNewestRunning()) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ContentView::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedLinks(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ContentView::dropEvent(QDropEvent* event) {
    const QStringList links = droppedLinks(event->mimeData());
    if (links.isEmpty())
        return;
    m_list.add(links, m_tester.quality(), m_tester.forceMP4(), m_tester.compatibleMP4());
    event->acceptProposedAction();
    m_form->urlField()->setFocus(Qt::OtherFocusReason);
}

int ContentView::statusAreaCap() const {
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const int floor = 3 * fontMetrics().lineSpacing();
    if (!shown)
        return QWIDGETSIZE_MAX;
    const int available = shown->availableGeometry().height();
    if (window() == this)
        return std::max(available / 3, floor);
    // Everything but the outcome area (the menu bar included), from the size hints the fixed-size
    // window takes its height from; the area's own share is the fixed height it was last given.
    const int others = window()->sizeHint().height() - (m_outcome->isVisibleTo(this) ? m_outcome->maximumHeight() : 0);
    return std::max(available - titleBarAllowance - others, floor);
}

void ContentView::fitToScreen() {
    // Measured once the pending layout has run, so the heights read are the ones shown.
    if (m_fitPending)
        return;
    m_fitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fitPending = false;
            if (const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen())
                m_toolsBox->setMaximumStatusHeight(shown->availableGeometry().height() / 5);
            // The area spans the form's column, as the link field does.
            const int wanted = m_outcome->contentHeight(m_form->urlField()->width());
            const int height = std::min(wanted, statusAreaCap());
            // Only a change is applied: an equal height would ask for another round.
            if (height != m_outcome->maximumHeight() || height != m_outcome->minimumHeight())
                m_outcome->setFixedHeight(height);
            // Content that fits needs no scroll bar; one left over from a taller moment would narrow
            // the text, which then wraps to one more line and keeps the bar.
            m_outcome->setVerticalScrollBarPolicy(height < wanted ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        },
        Qt::QueuedConnection);
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Asked once the window is on screen: its first picture does not wait for the answers.
    if (!event->spontaneous())
        AfterFirstPaint::run(window(), [this] { m_versions.refresh(); });
    if (QWindow* handle = window()->windowHandle())
        connect(handle, &QWindow::screenChanged, this, &ContentView::fitToScreen, Qt::UniqueConnection);
    fitToScreen();
}

void ContentView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_versions.dropPending();
}
