#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Desktop notifications over the session bus (org.freedesktop.Notifications). Never blocks:
// every call is asynchronous. Without a bus or a notification server nothing happens and
// nothing is printed. Lives on the GUI thread.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(QObject* parent = nullptr);

    // Shows summary and body; actions are pairs of key and label, offered only when the server
    // says it supports actions.
    void notify(const QString& summary, const QString& body, const QStringList& actions = {});

signals:
    // The user chose the action with this key on the last notification.
    void actionInvoked(const QString& key);

private slots:
    void onActionInvoked(uint id, const QString& key);

private:
    bool m_connected = false;
    bool m_actionsOffered = false; // the server's capabilities include "actions"
    uint m_lastId = 0;
};
