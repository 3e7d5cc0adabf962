#pragma once

#include <QDBusAbstractAdaptor>

class SingleInstance;
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// The desktop's single-instance interface, org.freedesktop.Application, on the running window's
// bus object: a second start (or the desktop) calls Activate or Open, and SingleInstance, its
// parent, passes that on through its own signals (an adaptor's signals would go out on the bus).
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(SingleInstance* parent);

public slots:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

private:
    SingleInstance* m_instance;
};
