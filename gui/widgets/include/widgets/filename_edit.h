// The book-name edit: a line edit with a browse button that picks an archive file.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>

class QToolButton;

namespace pagora {

class TFilenameEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TFilenameEdit(QWidget* parent = nullptr);

  QString text() const { return edit_->text(); }
  void setText(const QString& text) { edit_->setText(text); }
  QLineEdit* edit() const { return edit_; }
  QToolButton* button() const { return button_; }

  // The file dialog's settings.
  QString Filter = QStringLiteral("Archive (*.lzh)");
  QString DefaultExt = QStringLiteral("lzh");
  QString InitialDir = QStringLiteral(".");

  // Asks for a file; returns its full name or an empty text when cancelled. Replaceable (tests).
  std::function<QString(TFilenameEdit*)> BrowseDialog;

  // What a chosen file name becomes in the edit: quoted when it holds a blank and does not
  // already begin with a double quote.
  static QString quotedName(const QString& fileName);

  // Runs the browse dialog and takes its answer.
  void browse();

 private:
  QLineEdit* edit_;
  QToolButton* button_;
};

}  // namespace pagora
