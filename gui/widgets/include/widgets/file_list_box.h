// The file list: the files of one folder that match a mask, shown as icons, a list or a report,
// multi-select, a drag source, and refreshed by itself when the folder changes on disk.
#pragma once

#include <QFileSystemWatcher>
#include <QStandardItemModel>
#include <QWidget>

#include "widgets/file_mask.h"

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QTreeView;
class QItemSelectionModel;

namespace pagora {

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

// "vsIcon", "vsSmallIcon", "vsList", "vsReport" and back; false for an unknown name.
QString viewStyleName(TViewStyle style);
bool viewStyleFromName(const QString& name, TViewStyle& style);

class TFileListBox : public QWidget {
  Q_OBJECT

 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  QString Directory() const { return directory_; }
  void setDirectory(const QString& folder);
  QString mask() const { return mask_.text(); }
  void setMask(const QString& mask);
  TViewStyle viewStyle() const { return style_; }
  void setViewStyle(TViewStyle style);

  // Items in display order: their captions (file names) and whether each is selected.
  int count() const;
  QString item(int index) const;
  bool selected(int index) const;
  void setSelected(int index, bool selected);
  // The first selected item, or -1.
  int firstSelected() const;
  // Selects exactly the items with these captions.
  void selectNames(const QStringList& names);
  // Reads the folder again, keeping the selection of items that are still there.
  void Update();

  // The widget a drag from this list comes from (the view on show).
  QAbstractItemView* currentView() const;
  // The file list a drag source belongs to, or null when it is none.
  static TFileListBox* fromDragSource(QObject* source);

 signals:
  void doubleClicked();
  void contextMenuRequested(const QPoint& globalPos);
  void keyPressed(int key);

 private:
  void watchFolder();

  QString directory_;
  FileMask mask_{QStringLiteral("*.txt;*.")};
  TViewStyle style_ = TViewStyle::vsReport;
  QStandardItemModel model_;
  QItemSelectionModel* selection_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QListView* listView_ = nullptr;
  QTreeView* reportView_ = nullptr;
  QFileSystemWatcher watcher_;
};

}  // namespace pagora
