// The chosen list: the files that go into the book, a drop target for the file list.
#pragma once

#include <QListWidget>
#include <functional>

namespace pagora {

class TChosenListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TChosenListBox(QWidget* parent = nullptr);

  // Whether a drag from `source` may be dropped, and what a drop does.
  std::function<bool(QObject* source)> OnDragOver;
  std::function<void(QObject* source)> OnDragDrop;
  std::function<void(int key)> OnKeyDown;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace pagora
