#include "appcore/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace UserFolders {

namespace {

// One shell word as xdg-user-dirs writes it: double quotes around the path, backslashes before
// the few characters the shell would take as its own.
QString unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    QString plain;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size())
            ++i;
        plain += value.at(i);
    }
    return plain;
}

} // namespace

std::optional<QString> configured(const QString& name) {
    const QString variable = QStringLiteral("XDG_") + name + QStringLiteral("_DIR");
    QString value = qEnvironmentVariable(variable.toLatin1().constData());
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile file(config + QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream lines(&file);
        // The last assignment wins, as it would in the shell.
        while (!lines.atEnd()) {
            const QString line = lines.readLine().trimmed();
            if (line.startsWith(variable + QLatin1Char('=')))
                value = unquoted(line.mid(variable.size() + 1));
        }
    }
    const QString home = QDir::homePath();
    if (value == QLatin1String("$HOME") || value.startsWith(QLatin1String("$HOME/")))
        value = home + value.mid(5);
    if (value.isEmpty() || !QDir::isAbsolutePath(value) || QDir(value) == QDir(home))
        return std::nullopt;
    return QDir::cleanPath(value);
}

QString videosOrHome() {
    const std::optional<QString> videos = configured(QStringLiteral("VIDEOS"));
    if (videos && QDir().mkpath(*videos))
        return *videos;
    return QDir::homePath();
}

} // namespace UserFolders
