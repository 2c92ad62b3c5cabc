// Window placement and stored properties kept in a section of the layout file.
#include "components/formstorage.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWindow>
#include <cstdio>

#include "components/inifile.h"

namespace pagora {
namespace {

std::string utf8(const QString& s) {
  return s.toUtf8().toStdString();
}

// "a,b,c,d" into four integers, or nothing when garbled.
bool parseFour(const std::string& text, int out[4]) {
  QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    out[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return false;
  }
  return true;
}

std::string four(int a, int b, int c, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", a, b, c, d);
  return buf;
}

}  // namespace

TFormStorage::TFormStorage(QWidget* form, QString iniFileName, QString iniSection)
    : QObject(form),
      form_(form),
      iniFileName_(std::move(iniFileName)),
      iniSection_(std::move(iniSection)) {
  if (form) form->installEventFilter(this);
}

TFormStorage::~TFormStorage() {
  // Runs while the form is being destroyed (we are its child), its geometry still readable.
  if (automatic_ && everShown_ && form_) saveReportingFailure();
}

void TFormStorage::addStoredProperty(const QString& key, std::function<QString()> save,
                                     std::function<void(const QString&)> restore) {
  properties_.push_back({key, std::move(save), std::move(restore)});
}

bool TFormStorage::RestoreFormPlacement() {
  if (!form_) return false;
  TIniFile ini(utf8(iniFileName_).c_str());
  const std::string section = utf8(iniSection_);
  if (!ini.SectionExists(section)) return false;
  if (ini.ReadInteger(section, "FormVersion", 0) < version_) return false;

  int r[4];
  if (parseFour(ini.ReadString(section, "NormPos", ""), r)) {
    QRect rect(QPoint(r[0], r[1]), QSize(r[2] - r[0], r[3] - r[1]));
    if (rect.width() > 0 && rect.height() > 0) {
      // A window saved on a screen that is gone comes back onto the nearest one.
      bool onScreen = false;
      for (QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().intersects(rect);
      if (!onScreen) {
        if (QScreen* s = QGuiApplication::primaryScreen()) {
          QRect avail = s->availableGeometry();
          rect.setSize(rect.size().boundedTo(avail.size()));
          rect.moveTopLeft(avail.topLeft());
        }
      }
      form_->setGeometry(rect);
    }
  }
  int showCmd = ini.ReadInteger(section, "ShowCmd", 1);
  if (showCmd == 3)
    form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
  else
    form_->setWindowState(form_->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));

  for (const StoredProperty& p : properties_) {
    const std::string key = utf8(p.key);
    if (ini.ValueExists(section, key) && p.restore)
      p.restore(QString::fromStdString(ini.ReadString(section, key, "")));
  }
  return true;
}

void TFormStorage::SaveFormPlacement() {
  if (!form_) return;
  TIniFile ini(utf8(iniFileName_).c_str());
  const std::string section = utf8(iniSection_);
  const Qt::WindowStates st = form_->windowState();
  int showCmd = 1;
  if (st & Qt::WindowMinimized)
    showCmd = 2;
  else if (st & Qt::WindowMaximized)
    showCmd = 3;
  const int flags = ((st & Qt::WindowMinimized) && (st & Qt::WindowMaximized)) ? 2 : 0;
  QRect normal = form_->normalGeometry();
  if (!normal.isValid()) normal = form_->geometry();
  int dpi = 96;
  if (QScreen* s = form_->screen()) dpi = static_cast<int>(s->logicalDotsPerInch() + 0.5);

  // One rewrite of the file for the whole layout: quicker, and never half a layout on disk.
  std::vector<std::pair<std::string, std::string>> values = {
      {"Flags", std::to_string(flags)},
      {"ShowCmd", std::to_string(showCmd)},
      {"PixelsPerInch", std::to_string(dpi)},
      {"MinMaxPos", four(-1, -1, -1, -1)},
      {"NormPos", four(normal.left(), normal.top(), normal.left() + normal.width(),
                       normal.top() + normal.height())},
      {"Visible", form_->isVisible() ? "1" : "0"},
      {"FormVersion", std::to_string(version_)},
  };
  for (const StoredProperty& p : properties_)
    if (p.save) values.emplace_back(utf8(p.key), utf8(p.save()));
  ini.WriteValues(section, values);
}

void TFormStorage::saveReportingFailure() {
  try {
    SaveFormPlacement();
  } catch (const std::exception& e) {
    if (OnError)
      OnError(e);
    else
      std::fprintf(stderr, "%s\n", e.what());
  }
}

bool TFormStorage::eventFilter(QObject* watched, QEvent* event) {
  if (!automatic_ || watched != form_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::Show) {
    if (!everShown_) {
      everShown_ = true;
    }
    RestoreFormPlacement();
  } else if (event->type() == QEvent::Close) {
    // Let the form decide first; only an accepted close saves the layout.
    watched->event(event);
    if (event->isAccepted()) saveReportingFailure();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace pagora
