#include "app/FileRevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace FileRevealer {

namespace {
void openContainingFolder(const QString& file, const std::function<void()>& failed) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath())) && failed)
        failed();
}
} // namespace

void reveal(const std::filesystem::path& file, std::function<void()> failed) {
    const QString path = QString::fromStdString(file.string());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openContainingFolder(path, failed);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [path, failed](QDBusPendingCallWatcher* finished) {
        if (finished->isError())
            openContainingFolder(path, failed);
        finished->deleteLater();
    });
}

} // namespace FileRevealer
