// Pagora's main window: the file list's commands (view, split, create from the clipboard,
// delete, rename, open).
#include "pagora/main_form.h"

#include <fcntl.h>
#include <stdio.h>
#include <QClipboard>
#include <QFile>

#include <QGuiApplication>

#include "book/book_builder.h"
#include "main_form_helpers.h"
#include "pagora/unit4.h"
#include "text/clipboard_file.h"
#include "text/recode.h"
#include "text/split_file.h"
#include "text/text_buffer.h"
#include "viewer/view.h"
#include "widgets/file_list_box.h"
#include "widgets/filter_combo_box.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"

namespace pagora {

using namespace mainform;

// ---- file commands --------------------------------------------------------------------------

QString TForm1::selectedFile() const {
  int i = FileListBox1->firstSelected();
  return i < 0 ? QString() : fileFolder() + FileListBox1->item(i);
}

void TForm1::FileListBox1DblClick() {
  QString file = selectedFile();
  if (file.isEmpty()) return;
  Form2->openFile(file);
  execDialog(Form2);
  Calculate();
}

void TForm1::ListBox1DblClick() {
  QListWidgetItem* item = ListBox1->currentItem();
  if (!item) return;
  QString file = item->text();
  try {
    if (canImportBooks() && file.endsWith(QStringLiteral(".fb2"), Qt::CaseInsensitive)) {
      Form2->openFile(file);
    } else if (canImportBooks() &&
               (file.endsWith(QStringLiteral(".fb2.zip"), Qt::CaseInsensitive) ||
                file.endsWith(QStringLiteral(".epub"), Qt::CaseInsensitive))) {
      Form2->openFile(file);
    } else {
      auto lines = loadTextFile(toStd(file));
      Form2->setFileName(file);
      Form2->r->Lines() = std::move(lines);
    }
  } catch (const std::exception& e) {
    showException(e);
    return;
  }
  execDialog(Form2);
  Calculate();
}

void TForm1::Icon1Click(int tag) {
  switch (tag) {
    case 1:
      FileListBox1->setViewStyle(TViewStyle::vsIcon);
      break;
    case 2:
      FileListBox1->setViewStyle(TViewStyle::vsList);
      break;
    case 3:
      FileListBox1->setViewStyle(TViewStyle::vsReport);
      break;
    case 4:
      FileListBox1->setViewStyle(TViewStyle::vsSmallIcon);
      break;
    default:
      break;
  }
}

void TForm1::FilterComboBox1Change() {
  FileListBox1->setMask(FilterComboBox1->mask());
}

void TForm1::Createfilefromclipboard1Click() {
  std::optional<QString> answer =
      Prompts::current().input(this, tr("Input"), tr("name"), QString());
  if (!answer || answer->isEmpty()) return;
  std::string path = clipboardFilePath(toStd(fileFolder()), toStd(*answer));
  QString text = QGuiApplication::clipboard()->text();
  try {
    writeClipboardFile(path, utf8ToWin(toStd(text)));
  } catch (const std::exception& e) {
    showException(e);
  }
  FileListBox1->Update();
}

void TForm1::Splitfile1Click() {
  QString file = selectedFile();
  if (file.isEmpty()) return;
  Form4->FileName = file;
  try {
    Form4->FormShow();
  } catch (const std::exception& e) {
    showException(e);
    return;
  }
  if (execDialog(Form4) != QDialog::Accepted) return;
  try {
    SplitTextFile(toStd(file), Form4->chunk());
  } catch (const std::exception& e) {
    showException(e);
  }
  FileListBox1->Update();
}

void TForm1::Delete2Click() {
  PromptAnswer answer = Prompts::current().ask(this, tr("Confirm "), tr("Delete", "question"),
                                               PromptKind::Question, PromptButtons::YesNo);
  if (answer == PromptAnswer::Yes) {
    QString folder = fileFolder();
    for (int i = 0; i < FileListBox1->count(); ++i) {
      if (FileListBox1->selected(i)) QFile::remove(folder + FileListBox1->item(i));
    }
  }
  FileListBox1->Update();
}

void TForm1::Rename1Click() {
  int i = FileListBox1->firstSelected();
  if (i < 0) return;
  QString old = FileListBox1->item(i);
  std::optional<QString> answer =
      Prompts::current().input(this, tr("New Name"), tr("Input", "new name"), old);
  if (answer && *answer != old && !answer->isEmpty()) {
    std::string from = toStd(fileFolder() + old);
    std::string to = toStd(fileFolder() + *answer);
    // Never onto an existing file: a rename must not destroy another file.
    ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  }
  FileListBox1->Update();
}

void TForm1::Editnotepad1Click() {
  QString file = selectedFile();
  if (file.isEmpty()) return;
  Launcher::open(file);
}

}  // namespace pagora
