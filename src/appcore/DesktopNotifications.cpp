#include "appcore/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected = bus.isConnected();
    if (!m_connected)
        return;
    bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    // Asked once, in the background; until it answers no actions are offered.
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QStringList> reply = *call;
        m_actionsOffered = reply.isValid() && reply.value().contains(QStringLiteral("actions"));
        call->deleteLater();
    });
}

void DesktopNotifications::notify(const QString& summary, const QString& body, const QStringList& actions) {
    if (!m_connected)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.tallowin.Tallowin")}};
    call << QStringLiteral("Tallowin") << m_lastId << QStringLiteral("org.tallowin.Tallowin") << summary << body
         << (m_actionsOffered ? actions : QStringList()) << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* pending) {
        const QDBusPendingReply<uint> reply = *pending;
        if (reply.isValid())
            m_lastId = reply.value();
        pending->deleteLater();
    });
}

void DesktopNotifications::onActionInvoked(uint id, const QString& key) {
    if (id == m_lastId && id != 0)
        emit actionInvoked(key);
}
