#include "appcore/AppcastFeed.h"

#include <QVersionNumber>
#include <QXmlStreamReader>

#include <stdexcept>

namespace AppcastFeed {

namespace {

QString attribute(const QXmlStreamAttributes& attributes, QStringView localName) {
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == localName)
            return attribute.value().toString().trimmed();
    }
    return {};
}

} // namespace

bool isNewer(const QString& version, const QString& current) {
    return QVersionNumber::compare(QVersionNumber::fromString(version), QVersionNumber::fromString(current)) > 0;
}

std::optional<Release> newestRelease(const QString& xml) {
    QXmlStreamReader reader(xml);
    std::optional<Release> newest;
    std::optional<Release> item;
    QString enclosureUrl;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringView name = reader.name();
            if (name == u"item") {
                item = Release{};
                enclosureUrl.clear();
            } else if (item && name == u"enclosure") {
                const QXmlStreamAttributes attributes = reader.attributes();
                if (const QString version = attribute(attributes, u"version"); !version.isEmpty())
                    item->version = version;
                if (const QString shortVersion = attribute(attributes, u"shortVersionString"); !shortVersion.isEmpty())
                    item->displayName = shortVersion;
                enclosureUrl = attribute(attributes, u"url");
            } else if (item && name == u"version") {
                item->version = reader.readElementText().trimmed();
            } else if (item && name == u"shortVersionString") {
                item->displayName = reader.readElementText().trimmed();
            } else if (item && name == u"link" && reader.namespaceUri().isEmpty()) {
                item->downloadPage = reader.readElementText().trimmed();
            }
        } else if (reader.isEndElement() && reader.name() == u"item" && item) {
            if (item->downloadPage.isEmpty())
                item->downloadPage = enclosureUrl;
            if (item->displayName.isEmpty())
                item->displayName = item->version;
            if (!item->version.isEmpty() && (!newest || isNewer(item->version, newest->version)))
                newest = *item;
            item.reset();
        }
    }
    if (reader.hasError())
        throw std::runtime_error("The update feed could not be read: " + reader.errorString().toStdString());
    return newest;
}

} // namespace AppcastFeed
