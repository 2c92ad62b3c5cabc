// Pagora's program entry: the main window (files named on the command line start in the chosen
// list), or the view window alone with --view FILE.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "pagora/language_setting.h"
#include "pagora/main_form.h"
#include "viewer/view.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pagora %s\n", PAGORA_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pagora"));
  pagora::applyLanguageSetting();
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  int view = arguments.indexOf(QStringLiteral("--view"));
  if (view >= 0) {
    if (view + 1 < arguments.size()) return pagora::runViewWindowStandalone(arguments[view + 1]);
    return 2;
  }
  pagora::TForm1 form;
  form.show();
  form.chooseFiles(arguments);
  return app.exec();
}
