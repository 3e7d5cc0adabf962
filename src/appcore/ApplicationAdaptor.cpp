#include "appcore/ApplicationAdaptor.h"

#include "appcore/SingleInstance.h"

ApplicationAdaptor::ApplicationAdaptor(SingleInstance* parent) : QDBusAbstractAdaptor(parent), m_instance(parent) {}

void ApplicationAdaptor::Activate(const QVariantMap&) {
    emit m_instance->activated();
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap&) {
    emit m_instance->linksOpened(uris);
}

void ApplicationAdaptor::ActivateAction(const QString&, const QVariantList&, const QVariantMap&) {
    // No actions are offered; bringing the window forward is the least surprise.
    emit m_instance->activated();
}
