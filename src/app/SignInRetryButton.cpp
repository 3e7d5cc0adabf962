#include "app/SignInRetryButton.h"

#include <QAction>
#include <QMenu>

SignInRetryButton::SignInRetryButton(QWidget* parent, std::function<std::vector<BrowserProfiles::Profile>()> find)
    : QPushButton(tr("Try Again Signed In"), parent), m_find(std::move(find)) {
    if (!m_find)
        m_find = [] { return BrowserProfiles::find(); };
    setObjectName(QStringLiteral("signInRetryButton"));
    setAutoDefault(false);
    setAccessibleName(text());
    setAccessibleDescription(
        tr("Downloads the same link again with the same settings, signed in as you are in the browser you choose."));
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("signInMenu"));
    // A browser installed or signed in to meanwhile shows up the next time the menu opens.
    connect(m_menu, &QMenu::aboutToShow, this, &SignInRetryButton::fillMenu);
    setMenu(m_menu);
}

void SignInRetryButton::setCurrent(const QString& label) {
    m_current = label;
}

void SignInRetryButton::fillMenu() {
    m_menu->clear();
    const std::vector<BrowserProfiles::Profile> profiles = m_find();
    for (const BrowserProfiles::Profile& profile : profiles) {
        const QString label = QString::fromStdString(BrowserProfiles::label(profile, profiles));
        QAction* action = m_menu->addAction(label);
        action->setCheckable(!m_current.isEmpty());
        action->setChecked(label == m_current);
        action->setToolTip(QString::fromStdString(profile.folder.string()));
        connect(action, &QAction::triggered, this, [this, signIn = profile.signIn(), label] {
            emit chosen(signIn, label);
        });
    }
    if (profiles.empty())
        m_menu->addAction(tr("No browser with a profile was found"))->setEnabled(false);
}
