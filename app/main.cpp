// Pagora's program entry: the main window (files named on the command line start in the chosen
// list), or the view window alone with --view FILE. --grab-main PNG and --grab-settings PNG save
// a picture of the window and quit (for the documentation).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/main_form.h"
#include "app/upload.h"
#include "components/dir_list_box.h"
#include "components/file_list_box.h"
#if PAGORA_HAVE_VIEW
#include "text/ui/view.h"
#endif

int main(int argc, char** argv) {
  // Answered before Qt starts, so it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pagora %s\n", PAGORA_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pagora"));
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  int view = arguments.indexOf(QStringLiteral("--view"));
  if (view >= 0) {
#if PAGORA_HAVE_VIEW
    if (view + 1 < arguments.size()) return pagora::runViewWindowStandalone(arguments[view + 1]);
#endif
    return 2;
  }
  QString grabMain, grabSettings;
  QStringList files;
  for (int i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == QStringLiteral("--grab-main") && i + 1 < arguments.size()) {
      grabMain = arguments[++i];
    } else if (arguments[i] == QStringLiteral("--grab-settings") && i + 1 < arguments.size()) {
      grabSettings = arguments[++i];
    } else {
      files << arguments[i];
    }
  }

  pagora::TForm1 form;
  form.show();
  form.ChooseFiles(files);
  if (!grabMain.isEmpty() || !grabSettings.isEmpty()) {
    QTimer::singleShot(1500, &form, [&] {
      if (!grabMain.isEmpty()) form.grab().save(grabMain);
      if (!grabSettings.isEmpty()) {
        form.loadSettingsDialog();
        auto* settingsDialog = form.findChild<pagora::TForm3*>();
        settingsDialog->show();
        QApplication::processEvents();
        QTimer::singleShot(500, &form, [&app, settingsDialog, &grabSettings] {
          settingsDialog->grab().save(grabSettings);
          settingsDialog->hide();
          app.quit();
        });
        return;
      }
      app.quit();
    });
  }
  return app.exec();
}
