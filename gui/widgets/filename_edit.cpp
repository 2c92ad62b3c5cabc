// The book-name edit with its browse button.
#include "widgets/filename_edit.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace pagora {

TFilenameEdit::TFilenameEdit(QWidget* parent) : QWidget(parent) {
  edit_ = new QLineEdit;
  button_ = new QToolButton;
  button_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  button_->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(edit_, 1);
  layout->addWidget(button_);
  connect(button_, &QToolButton::clicked, this, &TFilenameEdit::browse);
  setFocusProxy(edit_);
}

QString TFilenameEdit::quotedName(const QString& fileName) {
  if (fileName.contains(u' ') && !fileName.startsWith(u'"')) {
    return u'"' + fileName + u'"';
  }
  return fileName;
}

void TFilenameEdit::browse() {
  QString chosen;
  if (BrowseDialog) {
    chosen = BrowseDialog(this);
  } else {
    QFileDialog dialog(this, QString(), QDir(InitialDir).absolutePath(),
                       Filter + QStringLiteral(";;") + tr("All files (*)"));
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = dialog.selectedFiles().first();
    }
  }
  if (chosen.isEmpty()) return;
  edit_->setText(quotedName(QFileInfo(chosen).absoluteFilePath()));
}

}  // namespace pagora
