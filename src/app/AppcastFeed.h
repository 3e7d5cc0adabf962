#pragma once

#include <QString>

#include <optional>

// The application's update feed in the appcast form: RSS 2.0 items, each with an enclosure that
// carries the release's version ("sparkle:version" or "version" attribute, or a
// <sparkle:version> element of the item). Pure parsing, safe on any thread.
namespace AppcastFeed {

struct Release {
    QString version;      // the machine version
    QString displayName;  // sparkle:shortVersionString when given, else the version
    QString downloadPage; // the item's link, else its enclosure's url
};

// The newest release of the feed (versions ordered numerically piece by piece), or nothing when
// the feed has no item with a version. Throws std::runtime_error for text that is not XML.
std::optional<Release> newestRelease(const QString& xml);

// True when version is newer than current (numeric pieces, missing pieces count as 0).
bool isNewer(const QString& version, const QString& current);

} // namespace AppcastFeed
