// The settings dialog: the note about the handheld's patch, the site link, port and baud rate.
#include "app/upload.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings.h"
#include "components/launcher.h"

namespace pagora {

class TLinkLabel : public QLabel {
 public:
  explicit TLinkLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {
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
  void mouseDoubleClickEvent(QMouseEvent*) override { Launcher::open(text()); }
};

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Upload"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  auto* panel = new QFrame;
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  Label1 = new QLabel(QString::fromUtf8(kNote).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  Link = new TLinkLabel(QString::fromUtf8(kSite));
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

  auto* group = new QGroupBox(QStringLiteral("Corvane"));
  ComboBox1 = new QComboBox;
  ComboBox2 = new QComboBox;
  // Both lists are chosen from, never typed into.
  ComboBox1->setEditable(false);
  ComboBox2->setEditable(false);
  for (const auto& rate : BaudRates()) ComboBox2->addItem(QString::fromStdString(rate));
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("Port")), 0, 0);
  grid->addWidget(ComboBox1, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Baudrate")), 1, 0);
  grid->addWidget(ComboBox2, 1, 1);
  grid->setColumnStretch(1, 1);

  OkButton = new QPushButton(QStringLiteral("OK"));
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addWidget(panel);
  layout->addWidget(group);
  layout->addStretch(1);
  layout->addWidget(OkButton, 0, Qt::AlignHCenter);
  setDevices(SerialDevices());
  setFixedSize(230, 268);
  FormCreate();
}

void TForm3::FormCreate() {
  ComboBox1->setCurrentIndex(0);
  ComboBox2->setCurrentIndex(0);
}

QStringList TForm3::SerialDevices() {
  QStringList devices;
  QDir dev(QStringLiteral("/dev"));
  const QStringList found = dev.entryList(
      {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("rfcomm*")},
      QDir::System | QDir::Files | QDir::Readable | QDir::Writable, QDir::Name);
  for (const QString& name : found) devices << dev.filePath(name);
  return devices;
}

void TForm3::setDevices(const QStringList& devices) {
  int current = ComboBox1->currentIndex();
  ComboBox1->clear();
  for (const auto& port : ComPorts()) ComboBox1->addItem(QString::fromStdString(port));
  for (const QString& device : devices) ComboBox1->addItem(device);
  ComboBox1->setCurrentIndex(current < ComboBox1->count() ? current : -1);
}

}  // namespace pagora
