#include "appcore/Translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerCatalogues() {
    Q_INIT_RESOURCE(tallowin_translations);
}

namespace Translations {

namespace {

// "de-DE" tries "de_DE" then "de"; "C" and "en" mean the source texts.
QStringList candidates(const QString& language) {
    QString name = language;
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    QStringList names{name};
    const qsizetype separator = name.indexOf(QLatin1Char('_'));
    if (separator > 0)
        names << name.left(separator);
    return names;
}

} // namespace

QString install(QCoreApplication& application, const QStringList& languages) {
    // The catalogues are compiled into the static library; this registers them (and keeps the
    // linker from dropping them).
    registerCatalogues();
    for (const QString& language : languages) {
        for (const QString& name : candidates(language)) {
            if (name == QLatin1String("en") || name == QLatin1String("C"))
                return {};
            const QString file = QStringLiteral(":/i18n/tallowin_") + name + QStringLiteral(".qm");
            if (!QFileInfo::exists(file))
                continue;
            auto* own = new QTranslator(&application);
            if (!own->load(file)) {
                delete own;
                continue;
            }
            auto* qt = new QTranslator(&application);
            if (qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                QCoreApplication::installTranslator(qt);
            else
                delete qt;
            QCoreApplication::installTranslator(own);
            return name;
        }
    }
    return {};
}

QStringList userLanguages() {
    return QLocale().uiLanguages();
}

} // namespace Translations
