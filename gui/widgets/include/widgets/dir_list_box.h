// The folder tree: every folder of the machine from the root down, with the current folder
// selected; the file list follows it. The model watches the folders it shows by itself.
#pragma once

#include <QFileSystemModel>
#include <QTreeView>

namespace pagora {

class TDirectoryListBox : public QTreeView {
  Q_OBJECT

 public:
  explicit TDirectoryListBox(QWidget* parent = nullptr);

  QString Directory() const { return directory_; }
  // Selects the folder and shows it; a folder that does not exist changes nothing.
  void setDirectory(const QString& folder);

 signals:
  void directoryChanged(const QString& folder);

 private:
  QFileSystemModel model_;
  QString directory_;
};

}  // namespace pagora
