// TForm3: the settings dialog for Corvane's serial port and baud rate.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

namespace pagora {

// A label that asks the desktop to open its text (a web address) on a double-click.
class TLinkLabel;

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kNote =
      "Please,  install VivavUruv.eve patch\r\ninto Casio PV.\r\nCopy Corvane.exe in directory\r\n"
      "of this program\r\n\r\nDownload new version of these \r\nprograms from author site :";
  static constexpr const char* kSite = "https://pagora.example.org/";

  explicit TForm3(QWidget* parent = nullptr);

  // The serial devices of this machine offered after COM1-COM4 (USB and ACM adapters,
  // Bluetooth serial links). Tests may replace the list.
  static QStringList SerialDevices();

  // ComboBox1 holds "COM1" ... "COM4" and then these devices; a stored device that is not
  // present now is offered too, so the setting survives a visit to the dialog.
  void setDevices(const QStringList& devices);

  QComboBox* ComboBox1 = nullptr;  // port
  QComboBox* ComboBox2 = nullptr;  // baud rate
  QLabel* Label1 = nullptr;        // the note
  TLinkLabel* Link = nullptr;
  QPushButton* OkButton = nullptr;

 private:
  void FormCreate();
};

}  // namespace pagora
