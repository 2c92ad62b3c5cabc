// Program starts and desktop "open" requests, replaceable by tests.
#include "widgets/launcher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace pagora {

namespace {
Launcher::StartHandler& startHandler() {
  static Launcher::StartHandler handler;
  return handler;
}
Launcher::OpenHandler& openHandler() {
  static Launcher::OpenHandler handler;
  return handler;
}
}  // namespace

bool Launcher::startDetached(const QString& program, const QStringList& arguments) {
  if (startHandler()) return startHandler()(program, arguments);
  return QProcess::startDetached(program, arguments);
}

bool Launcher::open(const QString& target) {
  if (openHandler()) return openHandler()(target);
  if (target.isEmpty()) return false;
  QUrl url = QUrl::fromUserInput(target);
  if (QFileInfo::exists(target)) url = QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
  return QDesktopServices::openUrl(url);
}

void Launcher::setStartHandler(StartHandler handler) {
  startHandler() = std::move(handler);
}
void Launcher::setOpenHandler(OpenHandler handler) {
  openHandler() = std::move(handler);
}

}  // namespace pagora
