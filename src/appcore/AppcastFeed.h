#pragma once

#include <QString>

#include <optional>

// The application's update feed in the appcast form: RSS 2.0 items, each with an enclosure that
// carries the release's version in a "version" attribute, or with a <version> element of the
// item. Names match by their local part, so any namespace prefix may come before them
// ("release:version"). Pure parsing, safe on any thread.
namespace AppcastFeed {

struct Release {
    QString version;      // the machine version
    QString displayName;  // shortVersionString (attribute or element) when given, else the version
    QString downloadPage; // the item's link, else its enclosure's url
};

// The newest release of the feed (versions ordered numerically piece by piece), or nothing when
// the feed has no item with a version. Throws std::runtime_error for text that is not XML.
std::optional<Release> newestRelease(const QString& xml);

// True when version is newer than current (numeric pieces, missing pieces count as 0).
bool isNewer(const QString& version, const QString& current);

} // namespace AppcastFeed
