// TForm4: the split dialog. Shows the file and its size and lets the user pick a chunk size on a
// track bar.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QSlider;

namespace pagora {

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);

  // The file to split; set by the caller before the dialog is shown.
  QString FileName;

  // Fills the labels and the track bar from the file: range 0 to its size, ticks every 2 % and
  // the position at 25 %, fractions cut off. Raises EBookIO when the file cannot be sized.
  void FormShow();
  std::int64_t chunk() const;

  QLabel* FileLabel = nullptr;
  QLabel* SizeLabel = nullptr;
  QLabel* ChunkLabel = nullptr;
  QSlider* TrackBar1 = nullptr;

 private:
  void TrackBar1Change();
};

}  // namespace pagora
