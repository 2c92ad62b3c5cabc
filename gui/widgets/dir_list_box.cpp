// The folder tree component over the file-system model, folders only.
#include "widgets/dir_list_box.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace pagora {

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QTreeView(parent) {
  model_.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_.setRootPath(QDir::rootPath());
  model_.setReadOnly(true);
  setModel(&model_);
  for (int column = 1; column < model_.columnCount(); ++column) hideColumn(column);
  header()->hide();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAnimated(false);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid()) return;
            QString folder = model_.filePath(current);
            if (folder == directory_) return;
            directory_ = folder;
            emit directoryChanged(folder);
          });
}

void TDirectoryListBox::setDirectory(const QString& folder) {
  QFileInfo info(folder);
  if (!info.isDir()) return;
  QString path = QDir::cleanPath(info.absoluteFilePath());
  QModelIndex index = model_.index(path);
  if (!index.isValid()) return;
  if (path != directory_) {
    directory_ = path;
    emit directoryChanged(path);
  }
  setCurrentIndex(index);
  expand(index);
  scrollTo(index);
}

}  // namespace pagora
