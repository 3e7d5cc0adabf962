#include "app/DownloadOutcome.h"

#include "app/DownloadRow.h"
#include "appcore/DownloadList.h"

#include <QVBoxLayout>

DownloadOutcome::DownloadOutcome(DownloadList& list, Services services, QWidget* parent)
    : FittingScrollArea(parent), m_list(list), m_services(services.withDefaults()) {
    setObjectName(QStringLiteral("statusArea"));
    setFocusPolicy(Qt::NoFocus); // the area itself is no Tab stop; its rows' controls are
    setFixedHeight(0);           // always fixed, so its share of the window is known (ContentView::fitToScreen)
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("statusContent"));
    m_rows = new QVBoxLayout(content);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(10);
    setWidget(content);
    // setWidget fills the content with the Window colour, a band on the group box's own shade.
    content->setAutoFillBackground(false);

    connect(&m_list, &DownloadList::rowAdded, this, &DownloadOutcome::addRow);
    connect(&m_list, &DownloadList::rowRemoved, this, &DownloadOutcome::removeRow);
    for (int i = 0; i < m_list.size(); ++i)
        addRow(&m_list.row(i), i);
    setVisible(m_list.size() > 0);
}

DownloadRow* DownloadOutcome::rowWidget(const DownloadTester* row) const {
    const auto found = m_widgets.find(row);
    return found == m_widgets.end() ? nullptr : found->second;
}

void DownloadOutcome::addRow(DownloadTester* row, int index) {
    auto* actions = new FileActions(m_services, this);
    auto* shown = new DownloadRow(*row, actions, widget());
    actions->setParent(shown);
    m_widgets[row] = shown;
    m_rows->insertWidget(index, shown);
    connect(shown, &DownloadRow::announced, this, &DownloadOutcome::announced);
    connect(shown, &DownloadRow::updateAndRetryRequested, this, &DownloadOutcome::updateAndRetryRequested);
    // The window keeps a sign-in chosen on one row for the rows added after it, until it closes.
    connect(shown, &DownloadRow::signInChosen, this, [this](const BrowserSignIn& signIn, const QString& label) {
        m_list.setRowSetup([signIn, label](DownloadTester& added) { added.useSignIn(signIn, label); });
    });
    // Queued: the row's widget goes with it, and the button's click is still under way.
    connect(shown, &DownloadRow::removeRequested, &m_list, &DownloadList::remove, Qt::QueuedConnection);
    setVisible(true);
    emit rowShown(shown);
}

void DownloadOutcome::removeRow(DownloadTester* row) {
    DownloadRow* shown = rowWidget(row);
    if (!shown)
        return;
    m_widgets.erase(row);
    const bool hadFocus = shown->isAncestorOf(window()->focusWidget());
    shown->hide();
    // Out of the window at once (a later look-up must not find it), deleted once its events are done.
    shown->setParent(nullptr);
    shown->deleteLater();
    // The focus goes back to the link field rather than down the chain to an unrelated control.
    if (QWidget* field = window()->findChild<QWidget*>(QStringLiteral("urlField")); hadFocus && field)
        field->setFocus(Qt::OtherFocusReason);
    setVisible(!m_widgets.empty());
}
