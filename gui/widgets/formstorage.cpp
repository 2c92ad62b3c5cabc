// Window placement and stored properties kept in a section of the layout file.
#include "widgets/formstorage.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cstdio>

#include "settings/form_placement.h"
#include "settings/inifile.h"

namespace pagora {
namespace {

std::string utf8(const QString& s) {
  return s.toUtf8().toStdString();
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

bool TFormStorage::restoreFormPlacement() {
  if (!form_) return false;
  TIniFile ini(utf8(iniFileName_).c_str());
  std::vector<std::string> keys;
  for (const StoredProperty& p : properties_) keys.push_back(utf8(p.key));
  const std::optional<FormPlacement> placement =
      readFormPlacement(ini, utf8(iniSection_), version_, keys);
  if (!placement) return false;

  if (const auto& r = placement->normal; r && r->width() > 0 && r->height() > 0) {
    QRect rect(QPoint(r->left, r->top), QSize(r->width(), r->height()));
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
  if (placement->showCmd == FormPlacement::Maximised)
    form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
  else
    form_->setWindowState(form_->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));

  for (std::size_t i = 0; i < properties_.size(); ++i) {
    if (!properties_[i].restore) continue;
    for (const auto& [key, value] : placement->properties) {
      if (key == keys[i]) {
        properties_[i].restore(QString::fromStdString(value));
        break;
      }
    }
  }
  return true;
}

void TFormStorage::saveFormPlacement() {
  if (!form_) return;
  FormPlacement placement;
  const Qt::WindowStates st = form_->windowState();
  if (st & Qt::WindowMinimized)
    placement.showCmd = FormPlacement::Minimised;
  else if (st & Qt::WindowMaximized)
    placement.showCmd = FormPlacement::Maximised;
  placement.flags = ((st & Qt::WindowMinimized) && (st & Qt::WindowMaximized)) ? 2 : 0;
  QRect normal = form_->normalGeometry();
  if (!normal.isValid()) normal = form_->geometry();
  placement.normal = FormPlacement::Rect{
      normal.left(), normal.top(), normal.left() + normal.width(), normal.top() + normal.height()};
  if (QScreen* s = form_->screen())
    placement.pixelsPerInch = static_cast<int>(s->logicalDotsPerInch() + 0.5);
  placement.visible = form_->isVisible();
  placement.formVersion = version_;
  for (const StoredProperty& p : properties_)
    if (p.save) placement.properties.emplace_back(utf8(p.key), utf8(p.save()));
  // One rewrite of the file for the whole layout: quicker, and never half a layout on disk.
  TIniFile ini(utf8(iniFileName_).c_str());
  writeFormPlacement(ini, utf8(iniSection_), placement);
}

void TFormStorage::saveReportingFailure() {
  try {
    saveFormPlacement();
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
    restoreFormPlacement();
  } else if (event->type() == QEvent::Close) {
    // Let the form decide first; only an accepted close saves the layout.
    watched->event(event);
    if (event->isAccepted()) saveReportingFailure();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace pagora
