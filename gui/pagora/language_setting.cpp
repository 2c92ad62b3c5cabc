// Pagora's "Language" setting put to work at start: the windows' translations, and the
// environment through which Corvane, started later, follows the same choice.
#include "pagora/language_setting.h"

#include <QByteArray>
#include <exception>

#include "pagora/main_form.h"
#include "settings/inifile.h"
#include "settings/main_settings.h"
#include "translations/language.h"

namespace pagora {

QString applyLanguageSetting() {
  std::string language;
  try {
    const TIniFile ini(mainSettingsReadPath(TForm1::programFolder().toStdString()));
    language = readMainSettings(ini).Language;
  } catch (const std::exception&) {
    // An unreadable file is reported by the main window, which reads it again; the desktop's
    // language serves meanwhile.
  }
  if (language.empty()) {
    qunsetenv(kLanguageVariable);
  } else {
    qputenv(kLanguageVariable, QByteArray::fromStdString(language));
  }
  return installTranslations(QString::fromStdString(language));
}

}  // namespace pagora
