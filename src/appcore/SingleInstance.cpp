#include "appcore/SingleInstance.h"

#include "appcore/ApplicationAdaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (!m_owner)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(objectPath));
    bus.unregisterService(QString::fromLatin1(serviceName));
}

SingleInstance::Role SingleInstance::claim(const QStringList& links) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Role::alone;
    const QString service = QString::fromLatin1(serviceName);
    const QString path = QString::fromLatin1(objectPath);
    // The object first, so a start that finds the name taken can call it at once.
    new ApplicationAdaptor(this); // owned by this object
    if (!bus.registerObject(path, this))
        return Role::alone;
    const auto reply = bus.interface()->registerService(
        service, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return Role::first;
    }
    bus.unregisterObject(path);
    if (!reply.isValid())
        return Role::alone;

    QDBusMessage call = links.isEmpty()
                            ? QDBusMessage::createMethodCall(service, path, "org.freedesktop.Application", "Activate")
                            : QDBusMessage::createMethodCall(service, path, "org.freedesktop.Application", "Open");
    if (links.isEmpty())
        call << QVariantMap();
    else
        call << links << QVariantMap();
    // The owner may be on its way out; then this start takes over as a window of its own.
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    return answer.type() == QDBusMessage::ReplyMessage ? Role::handedOver : Role::alone;
}
