// The settings dialog: how to prepare the handheld, where the README says more, port, baud rate,
// fast transfer and the windows' language.
#include "pagora/upload.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "settings/main_settings.h"
#include "widgets/launcher.h"

namespace pagora {

namespace {
std::function<TForm3::PortAccess(const std::string&)>& accessCheck() {
  static std::function<TForm3::PortAccess(const std::string&)> check;
  return check;
}
}  // namespace

class TLinkLabel : public QLabel {
 public:
  TLinkLabel(const QString& text, const QString& target, QWidget* parent = nullptr)
      : QLabel(text, parent), target_(target) {
    setCursor(Qt::PointingHandCursor);
    QFont f(QStringLiteral("Verdana"));
    f.setBold(true);
    setFont(f);
    setAlignment(Qt::AlignCenter);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 160));
    setPalette(p);
  }

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override { Launcher::open(target_); }

 private:
  QString target_;
};

namespace {

// The installed README (the package puts it under share/doc), else one beside the program.
QString readmePath() {
  const QDir program(QCoreApplication::applicationDirPath());
  for (const QString& candidate :
       {program.filePath(QStringLiteral("../share/doc/pagora/README.md")),
        program.filePath(QStringLiteral("README.md"))}) {
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).absoluteFilePath();
  }
  return QStringLiteral("/usr/share/doc/pagora/README.md");
}

}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Upload"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  OkButton = new QPushButton(tr("OK"));
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addWidget(buildNotePanel());
  layout->addWidget(buildCorvaneGroup());
  layout->addWidget(buildLanguageGroup());
  layout->addStretch(1);
  layout->addWidget(OkButton, 0, Qt::AlignHCenter);
  setDevices(serialDevices());
  // Wide enough for the longer Russian labels; as high as the note needs at that width.
  setFixedWidth(330);
  setFixedHeight(heightForWidth(330) > 0 ? heightForWidth(330) : sizeHint().height());
  FormCreate();
}

// The note on what the handheld and the machine need, with the link to the README.
QWidget* TForm3::buildNotePanel() {
  auto* panel = new QFrame;
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
#ifdef _WIN32
  const QString note =
      tr("Please,  install VivavUruv.eve patch\r\ninto Casio PV.\r\nCopy Corvane.exe in "
         "directory\r\nof this program\r\n\r\nDownload new version of these \r\nprograms from "
         "author site :");
#else
  // Here there is no patch to install and no Corvane.exe to copy: what a Linux user needs is
  // the device, the right to open it, and the Receiver image.
  const QString note =
      tr("Choose the handheld's serial device below: COM1 is /dev/ttyS0, a USB cable is "
         "/dev/ttyUSB0. You need to be in the group dialout (sudo usermod -a -G dialout $USER, "
         "then log in again). Put the Receiver image in ~/.local/share/pagora/receiver.hex.\r\n"
         "More in the README, \"Preparing the handheld\":");
#endif
  Label1 = new QLabel(QString(note).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  const QString readme = readmePath();
  Link = new TLinkLabel(QFileInfo(readme).fileName(), readme);
  Link->setToolTip(readme);
  {
    QFont small = Label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label1->setFont(small);
  }
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(4, 4, 4, 4);
  panelLayout->setSpacing(2);
  panelLayout->addWidget(Label1);
  panelLayout->addWidget(Link);
  return panel;
}

// Port, baud rate and the switches of the book build and the upload.
QWidget* TForm3::buildCorvaneGroup() {
  auto* group = new QGroupBox(QStringLiteral("Corvane"));
  ComboBox1 = new QComboBox;
  ComboBox2 = new QComboBox;
  // Both lists are chosen from, never typed into.
  ComboBox1->setEditable(false);
  ComboBox2->setEditable(false);
  for (const auto& rate : baudRates()) ComboBox2->addItem(QString::fromStdString(rate));
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(tr("Port")), 0, 0);
  grid->addWidget(ComboBox1, 0, 1);
  grid->addWidget(new QLabel(tr("Baudrate")), 1, 0);
  grid->addWidget(ComboBox2, 1, 1);
  FastCheck = new QCheckBox(tr("Fast transfer"));
  FastCheck->setToolTip(
      tr("New: each block follows the handheld's reply at once instead of waiting for Corvane's "
         "200 ms tick. Uncheck it if a device misbehaves."));
  grid->addWidget(FastCheck, 2, 0, 1, 2);
  ConvertCheck = new QCheckBox(tr("Convert texts to code page 1251"));
  ConvertCheck->setToolTip(
      tr("UTF-8, KOI8-R and DOS 866 texts are converted as the book is built; the files on disk "
         "stay as they are."));
  grid->addWidget(ConvertCheck, 3, 0, 1, 2);
  TidyCheck = new QCheckBox(tr("Tidy texts"));
  TidyCheck->setToolTip(
      tr("Hard-wrapped texts become one line per paragraph in the book; the files on disk stay "
         "as they are."));
  grid->addWidget(TidyCheck, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  // Five rows in the dialog's fixed height: tighter than the style's default spacing.
  grid->setContentsMargins(6, 2, 6, 4);
  grid->setVerticalSpacing(3);
  return group;
}

// The windows' language, which takes effect at the next start.
QWidget* TForm3::buildLanguageGroup() {
  auto* languageGroup = new QGroupBox(tr("Language"));
  LanguageBox = new QComboBox;
  // Each language by its own name, so that a user lost in a foreign one still finds theirs.
  LanguageBox->addItem(tr("System"), QString());
  LanguageBox->addItem(QStringLiteral("English"), QStringLiteral("en"));
  LanguageBox->addItem(QStringLiteral("Русский"), QStringLiteral("ru"));
  auto* languageNote = new QLabel(tr("The language changes at the next start."));
  languageNote->setWordWrap(true);
  auto* languageLayout = new QVBoxLayout(languageGroup);
  languageLayout->setContentsMargins(6, 2, 6, 4);
  languageLayout->setSpacing(3);
  languageLayout->addWidget(LanguageBox);
  languageLayout->addWidget(languageNote);
  return languageGroup;
}

void TForm3::FormCreate() {
  ComboBox1->setCurrentIndex(0);
  ComboBox2->setCurrentIndex(0);
}

QStringList TForm3::serialDevices() {
  QStringList devices;
  QDir dev(QStringLiteral("/dev"));
  // Devices this user may not open are offered too; the list marks them.
  const QStringList found = dev.entryList(
      {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("rfcomm*")},
      QDir::System | QDir::Files, QDir::Name);
  for (const QString& name : found) devices << dev.filePath(name);
  return devices;
}

void TForm3::setDevices(const QStringList& devices) {
  int current = ComboBox1->currentIndex();
  ComboBox1->clear();
  for (const auto& port : comPorts()) ComboBox1->addItem(QString::fromStdString(port));
  for (const QString& device : devices) ComboBox1->addItem(device);
  for (int i = 0; i < ComboBox1->count(); ++i) {
    const std::string device = devicePath(ComboBox1->itemText(i));
    if (checkAccess(device) != PortAccess::NoPermission) continue;
    const QString group = owningGroup(device);
    ComboBox1->setItemData(i, true, NoAccessRole);
    ComboBox1->setItemIcon(i, QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    ComboBox1->setItemData(
        i,
        tr("No permission to open %1: join the group '%2' that owns it, then log in again.")
            .arg(QString::fromStdString(device), group),
        Qt::ToolTipRole);
  }
  ComboBox1->setCurrentIndex(current < ComboBox1->count() ? current : -1);
}

std::string TForm3::devicePath(const QString& port) {
  if (port.size() > 3 && port.left(3).compare(QStringLiteral("COM"), Qt::CaseInsensitive) == 0) {
    bool ok = false;
    const int number = port.mid(3).toInt(&ok);
    if (ok && number >= 1 && port.mid(3).at(0).isDigit()) {
      return "/dev/ttyS" + std::to_string(number - 1);
    }
  }
  return port.toStdString();
}

void TForm3::setAccessCheck(std::function<PortAccess(const std::string&)> check) {
  accessCheck() = std::move(check);
}

TForm3::PortAccess TForm3::checkAccess(const std::string& device) {
  if (accessCheck()) return accessCheck()(device);
  if (::access(device.c_str(), R_OK | W_OK) == 0) return PortAccess::Usable;
  return errno == EACCES || errno == EPERM ? PortAccess::NoPermission : PortAccess::Missing;
}

QString TForm3::owningGroup(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return QString();
  if (const struct group* entry = ::getgrgid(info.st_gid); entry && entry->gr_name) {
    return QString::fromLocal8Bit(entry->gr_name);
  }
  return QString::number(info.st_gid);
}

}  // namespace pagora
