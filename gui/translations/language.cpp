// Loading the translations: ours from the program's resources, Qt's own (qtbase) from Qt's
// translations folder.
#include "translations/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <climits>

namespace pagora {

namespace {

// The language part of a locale name: "ru" of "ru_RU" or "ru-RU".
QString languageCode(const QString& name) {
  return QLocale(name).name().section(u'_', 0, 0);
}

bool installLanguage(const QString& code) {
  auto* own = new QTranslator(QCoreApplication::instance());
  if (!own->load(QStringLiteral("pagora_") + code, QStringLiteral(":/i18n"))) {
    delete own;
    return false;
  }
  QCoreApplication::installTranslator(own);
  // Qt's dialog buttons and standard menus; without the package they stay in English.
  auto* qt = new QTranslator(QCoreApplication::instance());
  if (qt->load(QStringLiteral("qtbase_") + code,
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  } else {
    delete qt;
  }
  return true;
}

}  // namespace

QString installTranslations(const QString& language) {
  return installTranslations(language, QLocale::system().uiLanguages());
}

QString installTranslations(const QString& language, const QStringList& desktopLanguages) {
  const QStringList wanted = language.isEmpty() ? desktopLanguages : QStringList{language};
  for (const QString& name : wanted) {
    const QString code = languageCode(name);
    // English is the source: a desktop that prefers it gets it even when it names Russian
    // second.
    if (code == QStringLiteral("en")) return {};
    if (code == QStringLiteral("C")) continue;
    if (installLanguage(code)) return code;
  }
  return {};
}

int pluralCount(std::int64_t n) {
  if (n < 0) return 0;
  if (n <= INT_MAX) return static_cast<int>(n);
  return 100 + static_cast<int>(n % 100);
}

}  // namespace pagora
