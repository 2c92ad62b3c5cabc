// The chosen list's drag-and-drop and key handling, handed to its window.
#include "pagora/chosen_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>

namespace pagora {

TChosenListBox::TChosenListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
}

void TChosenListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (OnDragOver && OnDragOver(event->source())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TChosenListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (OnDragOver && OnDragOver(event->source())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TChosenListBox::dropEvent(QDropEvent* event) {
  if (OnDragDrop) OnDragDrop(event->source());
  event->acceptProposedAction();
}

void TChosenListBox::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) OnKeyDown(event->key());
  QListWidget::keyPressEvent(event);
}

}  // namespace pagora
