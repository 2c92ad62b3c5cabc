// The file list component: a folder's matching files in four view styles over one model.
#include "widgets/file_list_box.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QLocale>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace pagora {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;

// Forwards double-clicks, context-menu requests and key presses of a view to its file list.
class EventForwarder : public QObject {
 public:
  explicit EventForwarder(TFileListBox* owner) : QObject(owner), owner_(owner) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ContextMenu: {
        auto* e = static_cast<QContextMenuEvent*>(event);
        emit owner_->contextMenuRequested(e->globalPos());
        return true;
      }
      case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(event);
        emit owner_->keyPressed(e->key());
        return false;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  TFileListBox* owner_;
};

}  // namespace

QString viewStyleName(TViewStyle style) {
  switch (style) {
    case TViewStyle::vsIcon:
      return QStringLiteral("vsIcon");
    case TViewStyle::vsSmallIcon:
      return QStringLiteral("vsSmallIcon");
    case TViewStyle::vsList:
      return QStringLiteral("vsList");
    case TViewStyle::vsReport:
      break;
  }
  return QStringLiteral("vsReport");
}

bool viewStyleFromName(const QString& name, TViewStyle& style) {
  for (TViewStyle s :
       {TViewStyle::vsIcon, TViewStyle::vsSmallIcon, TViewStyle::vsList, TViewStyle::vsReport}) {
    if (name.compare(viewStyleName(s), Qt::CaseInsensitive) == 0) {
      style = s;
      return true;
    }
  }
  return false;
}

TFileListBox::TFileListBox(QWidget* parent) : QWidget(parent) {
  model_.setHorizontalHeaderLabels({tr("Name"), tr("Size"), tr("Modified")});
  selection_ = new QItemSelectionModel(&model_, this);

  listView_ = new QListView;
  reportView_ = new QTreeView;
  reportView_->setRootIsDecorated(false);
  reportView_->setItemsExpandable(false);
  reportView_->setUniformRowHeights(true);
  reportView_->setAllColumnsShowFocus(true);
  auto* forwarder = new EventForwarder(this);
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(listView_), static_cast<QAbstractItemView*>(reportView_)}) {
    view->setModel(&model_);
    view->setSelectionModel(selection_);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->installEventFilter(forwarder);
    connect(view, &QAbstractItemView::doubleClicked, this, [this] { emit doubleClicked(); });
  }
  reportView_->header()->setStretchLastSection(false);
  reportView_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  reportView_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  reportView_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

  stack_ = new QStackedWidget;
  stack_->addWidget(listView_);
  stack_->addWidget(reportView_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack_);
  setViewStyle(TViewStyle::vsReport);

  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Update(); });
}

void TFileListBox::setDirectory(const QString& folder) {
  QString cleaned = QDir::cleanPath(folder);
  if (cleaned == directory_) return;
  directory_ = cleaned;
  model_.removeRows(0, model_.rowCount());
  watchFolder();
  Update();
}

void TFileListBox::watchFolder() {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  if (!directory_.isEmpty() && QFileInfo(directory_).isDir()) watcher_.addPath(directory_);
}

void TFileListBox::setMask(const QString& mask) {
  mask_ = FileMask(mask);
  Update();
}

void TFileListBox::setViewStyle(TViewStyle style) {
  style_ = style;
  QStyle* s = QWidget::style();
  int small = s->pixelMetric(QStyle::PM_SmallIconSize);
  int large = s->pixelMetric(QStyle::PM_LargeIconSize);
  switch (style) {
    case TViewStyle::vsIcon:
      listView_->setViewMode(QListView::IconMode);
      listView_->setFlow(QListView::LeftToRight);
      listView_->setWrapping(true);
      listView_->setIconSize(QSize(large, large));
      listView_->setGridSize(QSize(large * 3, large * 2 + 8));
      listView_->setMovement(QListView::Static);
      listView_->setWordWrap(true);
      stack_->setCurrentWidget(listView_);
      break;
    case TViewStyle::vsSmallIcon:
    case TViewStyle::vsList:
      listView_->setViewMode(QListView::ListMode);
      listView_->setFlow(style == TViewStyle::vsList ? QListView::TopToBottom
                                                     : QListView::LeftToRight);
      listView_->setWrapping(true);
      listView_->setIconSize(QSize(small, small));
      listView_->setGridSize(QSize());
      listView_->setMovement(QListView::Static);
      listView_->setWordWrap(false);
      stack_->setCurrentWidget(listView_);
      break;
    case TViewStyle::vsReport:
      stack_->setCurrentWidget(reportView_);
      break;
  }
  // Icon mode resets the drag mode of a list view; a drag source it stays.
  listView_->setDragEnabled(true);
  listView_->setDragDropMode(QAbstractItemView::DragOnly);
}

int TFileListBox::count() const {
  return model_.rowCount();
}

QString TFileListBox::item(int index) const {
  return model_.item(index, 0) ? model_.item(index, 0)->data(kNameRole).toString() : QString();
}

bool TFileListBox::selected(int index) const {
  return selection_->isRowSelected(index, QModelIndex());
}

void TFileListBox::setSelected(int index, bool selected) {
  if (index < 0 || index >= count()) return;
  selection_->select(model_.index(index, 0),
                     (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                         QItemSelectionModel::Rows);
  if (selected) selection_->setCurrentIndex(model_.index(index, 0), QItemSelectionModel::NoUpdate);
}

int TFileListBox::firstSelected() const {
  for (int i = 0; i < count(); ++i) {
    if (selected(i)) return i;
  }
  return -1;
}

void TFileListBox::selectNames(const QStringList& names) {
  selection_->clearSelection();
  for (int i = 0; i < count(); ++i) {
    if (names.contains(item(i))) setSelected(i, true);
  }
}

void TFileListBox::Update() {
  QStringList previouslySelected;
  for (int i = 0; i < count(); ++i) {
    if (selected(i)) previouslySelected << item(i);
  }
  QString current =
      selection_->currentIndex().isValid() ? item(selection_->currentIndex().row()) : QString();
  model_.removeRows(0, model_.rowCount());
  if (directory_.isEmpty()) return;
  QDir dir(directory_);
  // Read-only, archive and normal files: everything but folders and hidden or system entries.
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  QFileIconProvider icons;
  QLocale locale;
  for (const QFileInfo& info : entries) {
    if (!mask_.matches(info.fileName())) continue;
    auto* name = new QStandardItem(icons.icon(info), info.fileName());
    name->setData(info.fileName(), kNameRole);
    name->setToolTip(info.fileName());
    auto* size = new QStandardItem(locale.formattedDataSize(info.size()));
    size->setData(QVariant::fromValue<qint64>(info.size()), Qt::UserRole);
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The date alone keeps the narrow pane readable; the tool tip has the time too.
    auto* modified =
        new QStandardItem(locale.toString(info.lastModified().date(), QLocale::ShortFormat));
    modified->setToolTip(locale.toString(info.lastModified(), QLocale::LongFormat));
    model_.appendRow({name, size, modified});
  }
  for (int i = 0; i < count(); ++i) {
    if (previouslySelected.contains(item(i))) setSelected(i, true);
    if (item(i) == current) {
      selection_->setCurrentIndex(model_.index(i, 0), QItemSelectionModel::NoUpdate);
    }
  }
  if (!watcher_.directories().contains(directory_)) watchFolder();
}

QAbstractItemView* TFileListBox::currentView() const {
  return style_ == TViewStyle::vsReport ? static_cast<QAbstractItemView*>(reportView_)
                                        : static_cast<QAbstractItemView*>(listView_);
}

TFileListBox* TFileListBox::fromDragSource(QObject* source) {
  for (QObject* o = source; o; o = o->parent()) {
    if (auto* list = qobject_cast<TFileListBox*>(o)) return list;
  }
  return nullptr;
}

}  // namespace pagora
