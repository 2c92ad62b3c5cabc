// The language of the windows of Pagora and Corvane: their own texts and Qt's dialog texts, in
// the language a setting names or the first of the desktop's languages that has a translation.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace pagora {

// Pagora hands its "Language" setting to Corvane through this environment variable, so that
// Corvane's command line stays as it is: "en", "ru", or unset to follow the desktop.
inline constexpr char kLanguageVariable[] = "PAGORA_LANGUAGE";

// Installs the translations into the running application. `language` is "en" (the English
// source texts), a language code such as "ru", or empty for the desktop's languages in their
// order (QLocale::uiLanguages(), or the list given): the first that is English or has a
// translation wins. Returns the code of the installed translation, or empty when the English
// texts stay.
QString installTranslations(const QString& language);
QString installTranslations(const QString& language, const QStringList& desktopLanguages);

// The count that picks a text's plural form for a number that may not fit an int (file sizes):
// the number itself when it fits, else one with the same last two digits, which is all any
// plural rule of ours looks at. The number itself is shown through %1.
int pluralCount(std::int64_t n);

}  // namespace pagora
