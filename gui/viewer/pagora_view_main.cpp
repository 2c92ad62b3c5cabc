// pagora-view FILE: the view window on its own, for trying it out and for screenshots.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "translations/language.h"
#include "viewer/view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  pagora::installTranslations(QString());
  const QStringList args = QApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: pagora-view FILE\n");
    return 2;
  }
  return pagora::runViewWindowStandalone(args.at(1));
}
