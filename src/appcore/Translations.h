#pragma once

#include <QStringList>

class QCoreApplication;

// The window's and menus' texts in the user's language: Tallowin's own catalogues are built into
// the program (":/i18n/tallowin_<language>.qm"); Qt's own (the file dialog's buttons) come from
// Qt's translations folder when installed. English, the source language, needs none.
namespace Translations {

// Installs the catalogues for the first of languages (BCP 47 names, most wanted first, as
// QLocale::uiLanguages gives them; LANGUAGE=de:en selects German) that Tallowin has one for.
// Returns that language ("de"), or an empty text when the texts stay English.
QString install(QCoreApplication& application, const QStringList& languages);

// The user's languages, most wanted first (QLocale().uiLanguages(): LANGUAGE, then LC_ALL,
// LC_MESSAGES and LANG).
QStringList userLanguages();

} // namespace Translations
