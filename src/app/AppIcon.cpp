#include "app/AppIcon.h"

#include <QDir>
#include <QFileInfo>

namespace AppIcon {

namespace {

constexpr int largestSide = 128;

} // namespace

QIcon icon(const std::filesystem::path& packageRoot) {
    const QString name = QStringLiteral("org.tallowin.Tallowin");
    const QDir resources(QString::fromStdString((packageRoot / "Contents" / "Resources").string()));
    QIcon shipped;
    bool found = false;
    const QDir hicolor(resources.filePath(QStringLiteral("icons/hicolor")));
    for (const QFileInfo& folder : hicolor.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString png = folder.filePath() + QStringLiteral("/apps/") + name + QStringLiteral(".png");
        // The size comes from the folder's name ("48x48").
        const QStringList sides = folder.fileName().split(QLatin1Char('x'));
        const int side = sides.size() == 2 && sides[0] == sides[1] ? sides[0].toInt() : 0;
        // QIcon decodes every file it is given at once, and the two largest are nine tenths of
        // the pixels; a window, its task switcher entry and the About box draw 128 or less.
        if (side > 0 && side <= largestSide && QFileInfo::exists(png)) {
            shipped.addFile(png, QSize(side, side));
            found = true;
        }
    }
    // The drawing, only where no sizes were shipped: added beside them, it would be rendered
    // at once as well.
    const QString svg = resources.filePath(name + QStringLiteral(".svg"));
    if (!found && QFileInfo::exists(svg)) {
        shipped.addFile(svg);
        found = true;
    }
    return QIcon::fromTheme(name, found ? shipped : QIcon());
}

} // namespace AppIcon
