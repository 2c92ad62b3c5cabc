// pagora-shots: pictures of Pagora's windows for the documentation, kept out of the program's
// own command line. --main PNG [FILE...] saves the main window with FILEs in the chosen list;
// --settings PNG saves the settings dialog. Settings come from the program's folder, as
// Pagora's do.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "pagora/language_setting.h"
#include "pagora/main_form.h"
#include "pagora/upload.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pagora"));
  pagora::applyLanguageSetting();
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  if (arguments.size() < 2 ||
      (arguments[0] != QStringLiteral("--main") && arguments[0] != QStringLiteral("--settings"))) {
    std::fprintf(stderr, "usage: pagora-shots --main PNG [FILE...] | --settings PNG\n");
    return 2;
  }
  const bool settings = arguments[0] == QStringLiteral("--settings");
  const QString picture = arguments[1];
  pagora::TForm1 form;
  form.show();
  form.chooseFiles(arguments.mid(2));
  // Time for the file list and the fonts to settle before the picture is taken.
  QTimer::singleShot(1500, &form, [&] {
    if (!settings) {
      form.grab().save(picture);
      app.quit();
      return;
    }
    form.loadSettingsDialog();
    auto* settingsDialog = form.findChild<pagora::TForm3*>();
    settingsDialog->show();
    QApplication::processEvents();
    QTimer::singleShot(500, &form, [&app, settingsDialog, &picture] {
      settingsDialog->grab().save(picture);
      settingsDialog->hide();
      app.quit();
    });
  });
  return app.exec();
}
