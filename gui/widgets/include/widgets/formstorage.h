// Saves and restores a window's placement and chosen properties in a section of a profile file
// (config.ini), so that a window comes back where the user left it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <vector>

namespace pagora {

// The keys of the section are those of FormPlacement (settings/form_placement.h); stored
// properties are kept as <Component>_<Property>.
//
// With setAutomatic(true) (the default) the storage watches its form: it restores the layout
// every time the form is shown, saves it when a close of the form is accepted, and saves again
// when the form is destroyed (if the form was ever shown). A failure while saving goes to OnError
// (by default a warning on stderr) and never stops the close.
class TFormStorage : public QObject {
  Q_OBJECT
 public:
  // iniFileName may be relative ("config.ini"): it is resolved at each access against the
  // current folder, as the layout file is named ".\config.ini".
  TFormStorage(QWidget* form, QString iniFileName, QString iniSection);
  ~TFormStorage() override;

  QString iniFileName() const { return iniFileName_; }
  void setIniFileName(const QString& name) { iniFileName_ = name; }
  QString iniSection() const { return iniSection_; }
  void setIniSection(const QString& section) { iniSection_ = section; }
  int version() const { return version_; }
  void setVersion(int version) { version_ = version; }

  bool automatic() const { return automatic_; }
  void setAutomatic(bool on) { automatic_ = on; }

  // A property kept under key name + "_" + property name, for example "DirListBox_Width".
  // save returns the text to store; restore receives the stored text (only when the key exists,
  // otherwise the property keeps its design value).
  void addStoredProperty(const QString& key, std::function<QString()> save,
                         std::function<void(const QString&)> restore);

  // Reads the section and applies it: the normal geometry (clamped onto a screen when the saved
  // rectangle lies off every screen; ignored when empty or garbled), then maximised state, then
  // the stored properties. Returns false when nothing was restored (no section, or FormVersion
  // below the storage's version).
  bool restoreFormPlacement();
  // Writes every key in one rewrite of the file; throws EIniWrite (nothing is then written).
  void saveFormPlacement();

  // Called with the failure when an automatic save fails.
  std::function<void(const std::exception&)> OnError;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct StoredProperty {
    QString key;
    std::function<QString()> save;
    std::function<void(const QString&)> restore;
  };
  void saveReportingFailure();

  QPointer<QWidget> form_;
  QString iniFileName_;
  QString iniSection_;
  int version_ = 0;
  bool automatic_ = true;
  bool everShown_ = false;
  std::vector<StoredProperty> properties_;
};

}  // namespace pagora
