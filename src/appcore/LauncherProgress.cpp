#include "appcore/LauncherProgress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

void LauncherProgress::show(std::optional<double> fraction, int count) {
    if (fraction)
        fraction = std::isfinite(*fraction) ? std::clamp(*fraction, 0.0, 1.0) : 0.0;
    // Whole per-mille steps are enough for a bar of a few dozen pixels.
    if (fraction)
        fraction = std::round(*fraction * 1000) / 1000;
    count = std::max(count, 0);
    if (m_sent && fraction == m_shown && count == m_count)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/tallowin/Tallowin/LauncherEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    QVariantMap properties{{QStringLiteral("progress-visible"), fraction.has_value()}};
    if (fraction)
        properties.insert(QStringLiteral("progress"), *fraction);
    properties.insert(QStringLiteral("count-visible"), count > 0);
    properties.insert(QStringLiteral("count"), static_cast<qint64>(count));
    update << QStringLiteral("application://org.tallowin.Tallowin.desktop") << properties;
    bus.send(update);
    m_shown = fraction;
    m_count = count;
    m_sent = true;
}
