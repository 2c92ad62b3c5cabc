// TForm3: the settings dialog for Corvane's serial port, baud rate and fast transfer.
#pragma once

#include <QCheckBox>  // complete, so that users of the dialog can read the box
#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace pagora {

// A label that asks the desktop to open a file (the README) on a double-click.
class TLinkLabel;

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);

  // The serial devices of this machine offered after COM1-COM4 (USB and ACM adapters,
  // Bluetooth serial links). Tests may replace the list.
  static QStringList serialDevices();

  // ComboBox1 holds "COM1" ... "COM4" and then these devices; a stored device that is not
  // present now is offered too, so the setting survives a visit to the dialog.
  // Ports this user may not open are marked: a warning icon, a tool tip naming the group to
  // join, and NoAccessRole set.
  void setDevices(const QStringList& devices);

  enum class PortAccess { Usable, Missing, NoPermission };
  static constexpr int NoAccessRole = Qt::UserRole + 1;
  // The device a list entry stands for: COMn is /dev/ttyS(n-1), as Corvane maps it.
  static std::string devicePath(const QString& port);
  // Whether this user may open the device; tests replace the check (they run as root, whom
  // the system never refuses). Reset with an empty function.
  static void setAccessCheck(std::function<PortAccess(const std::string&)> check);
  static PortAccess checkAccess(const std::string& device);
  // The name of the group that owns the device, or its number when it has no name.
  static QString owningGroup(const std::string& device);

  QComboBox* ComboBox1 = nullptr;     // port
  QComboBox* ComboBox2 = nullptr;     // baud rate
  QCheckBox* FastCheck = nullptr;     // "Fast transfer": Corvane is started with --fast
  QCheckBox* ConvertCheck = nullptr;  // "Convert texts to code page 1251" while building
  QCheckBox* TidyCheck = nullptr;     // "Tidy texts": one line per paragraph while building
  // "Language": System, English, Русский; the item data is the setting's value ("", "en",
  // "ru"). It takes effect at the next start, as the label under it says.
  QComboBox* LanguageBox = nullptr;
  QLabel* Label1 = nullptr;  // the note
  TLinkLabel* Link = nullptr;
  QPushButton* OkButton = nullptr;

 private:
  void FormCreate();
  QWidget* buildNotePanel();
  QWidget* buildCorvaneGroup();
  QWidget* buildLanguageGroup();
};

}  // namespace pagora
