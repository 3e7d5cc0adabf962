#include "app/AppIcon.h"

#include <QDir>
#include <QFileInfo>

namespace AppIcon {

QIcon icon(const std::filesystem::path& packageRoot) {
    const QString name = QStringLiteral("org.tallowin.Tallowin");
    const QDir resources(QString::fromStdString((packageRoot / "Contents" / "Resources").string()));
    QIcon shipped;
    const QDir hicolor(resources.filePath(QStringLiteral("icons/hicolor")));
    for (const QFileInfo& size : hicolor.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString png = size.filePath() + QStringLiteral("/apps/") + name + QStringLiteral(".png");
        if (QFileInfo::exists(png))
            shipped.addFile(png);
    }
    const QString svg = resources.filePath(name + QStringLiteral(".svg"));
    if (QFileInfo::exists(svg))
        shipped.addFile(svg);
    if (shipped.availableSizes().isEmpty() && !QFileInfo::exists(svg))
        shipped = QIcon();
    return QIcon::fromTheme(name, shipped);
}

} // namespace AppIcon
