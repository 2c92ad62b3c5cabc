// The split dialog.
#include "pagora/unit4.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <climits>

#include "book/book_names.h"
#include "book/file_sizes.h"
#include "translations/language.h"

namespace pagora {

namespace {
QLabel* boldLabel(const QString& text) {
  auto* label = new QLabel(text);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}
}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Split"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  FileLabel = boldLabel(QString());
  SizeLabel = boldLabel(QString());
  ChunkLabel = boldLabel(QString());
  FileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* grid = new QGridLayout;
  grid->addWidget(boldLabel(tr("File")), 0, 0);
  grid->addWidget(FileLabel, 0, 1);
  grid->addWidget(boldLabel(tr("Size")), 1, 0);
  grid->addWidget(SizeLabel, 1, 1);
  grid->addWidget(boldLabel(tr("Chunk")), 2, 0);
  grid->addWidget(ChunkLabel, 2, 1);
  grid->setColumnStretch(1, 1);

  TrackBar1 = new QSlider(Qt::Horizontal);
  TrackBar1->setTickPosition(QSlider::TicksAbove);
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(TrackBar1);
  layout->addWidget(buttons);
  resize(514, 164);
}

void TForm4::FormShow() {
  FileLabel->setText(FileName);
  std::int64_t size = FileLength(FileName.toStdString());
  SizeLabel->setText(tr("%1 bytes", nullptr, pluralCount(size)).arg(QString::number(size)));
  // The track bar counts in int; a text beyond that is split at most at its 2 GiB mark.
  int top = static_cast<int>(std::min<std::int64_t>(size, INT_MAX));
  QSignalBlocker block(TrackBar1);
  TrackBar1->setRange(0, top);
  TrackBar1->setTickInterval(static_cast<int>(static_cast<double>(top) * 0.02));
  TrackBar1->setPageStep(std::max(1, static_cast<int>(static_cast<double>(top) * 0.02)));
  TrackBar1->setValue(static_cast<int>(static_cast<double>(top) * 0.25));
  TrackBar1Change();
}

std::int64_t TForm4::chunk() const {
  return TrackBar1->value();
}

void TForm4::TrackBar1Change() {
  ChunkLabel->setText(QString::number(TrackBar1->value()));
}

}  // namespace pagora
