// Pagora's main window: the chosen list (adding, removing, the size line) and the window's
// enabling during a build.
#include "pagora/main_form.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>

#include "book/book_names.h"
#include "book/file_sizes.h"
#include "common/file_paths.h"
#include "main_form_helpers.h"
#include "translations/language.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/status_gauge.h"

namespace pagora {

using namespace mainform;

// ---- chosen list ----------------------------------------------------------------------------

QStringList TForm1::chosen() const {
  QStringList out;
  for (int i = 0; i < ListBox1->count(); ++i) out << ListBox1->item(i)->text();
  return out;
}

bool TForm1::addChosen(const QString& path) {
  std::vector<std::string> entries;
  for (const QString& entry : chosen()) entries.push_back(toStd(entry));
  if (!addChosenFile(entries, toStd(path))) return false;
  ListBox1->addItem(path);
  return true;
}

void TForm1::chooseFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  QFileInfo first(files.first());
  DirListBox->setDirectory(first.absolutePath());
  QStringList names;
  for (const QString& f : files) {
    QFileInfo info(f);
    if (info.absolutePath() == first.absolutePath()) names << info.fileName();
  }
  FileListBox1->selectNames(names);
  for (const QString& f : files) {
    QFileInfo info(f);
    if (info.isFile()) addChosen(QDir::cleanPath(info.absoluteFilePath()));
  }
  Calculate();
}

void TForm1::showFolder(const QString& folder) {
  DirListBox->setDirectory(folder);
  FileListBox1->setDirectory(folder);
}

void TForm1::selectFiles(const QStringList& names) {
  FileListBox1->selectNames(names);
}

QString TForm1::bookName() const {
  return FilenameEdit1->text();
}

void TForm1::setBookName(const QString& name) {
  FilenameEdit1->setText(name);
}

void TForm1::En(bool value) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5, SpeedButton6,
           SpeedButton7, SpeedButton8, DirListBox, FileListBox1, ListBox1}) {
    w->setEnabled(value);
  }
  // The book name stays enabled but cannot change while a build runs: the build has already
  // taken its name, and a name typed meanwhile would only seem to have been used.
  FilenameEdit1->edit()->setReadOnly(!value);
  FilenameEdit1->button()->setEnabled(value);
}

void TForm1::Calculate() {
  std::vector<std::string> files;
  for (const QString& entry : chosen()) files.push_back(toStd(entry));
  try {
    const std::int64_t total = totalLength(files);
    StaticText1->setText(
        tr("Size : %1 bytes", nullptr, pluralCount(total)).arg(QString::number(total)));
  } catch (const std::exception& e) {
    showException(e);
  }
}

void TForm1::LzhArchiver1ShowProgress(int& percentageDone) {
  StatusBar1->setPosition(percentageDone);
  // The build runs on this thread: let the gauge paint and the name edit take keys.
  QCoreApplication::processEvents();
}

bool TForm1::ListBox1DragOver(QObject* source) const {
  return TFileListBox::fromDragSource(source) != nullptr;
}

// The folder whose files the file list shows (it follows the folder tree).
QString TForm1::fileFolder() const {
  return toQ(AddSlash(toStd(FileListBox1->Directory())));
}

void TForm1::appendSelectedFiles() {
  QString folder = fileFolder();
  for (int i = 0; i < FileListBox1->count(); ++i) {
    if (!FileListBox1->selected(i)) continue;
    addChosen(folder + FileListBox1->item(i));
  }
}

void TForm1::ListBox1DragDrop(QObject* source) {
  if (TFileListBox::fromDragSource(source)) appendSelectedFiles();
  Calculate();
}

// The size line follows every change of the chosen list, not only a drop: a line that kept
// the old total after "-->>" or "Delete" would show a book size that is not the one built.
void TForm1::N1Click() {
  appendSelectedFiles();
  Calculate();
}

void TForm1::Delete1Click() {
  for (int i = ListBox1->count() - 1; i >= 0; --i) {
    if (ListBox1->item(i)->isSelected()) delete ListBox1->takeItem(i);
  }
  Calculate();
}

void TForm1::ListBox1KeyDown(int key) {
  if (key == Qt::Key_Delete) Delete1Click();
}

}  // namespace pagora
