// The main window's notes on converted texts and shortened book names, in the window's language.
#include "pagora/book_notes.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "text/recode.h"

namespace pagora {

namespace {
QString tr(const char* text, int n = -1) {
  return QCoreApplication::translate("BookNotes", text, nullptr, n);
}
}  // namespace

QString bookTextNote(const TBookTextNote& note) {
  const QString name = QFileInfo(QString::fromStdString(note.file)).fileName();
  if (!note.converted) {
    return tr("%1: code page unsure, stored as it is").arg(name);
  }
  QString line =
      QStringLiteral("%1: %2 -> 1251").arg(name, QString::fromLatin1(codePageLabel(note.from)));
  if (note.missing != 0) {
    line += QStringLiteral(", ") + tr("%n character(s) have no equivalent in code page 1251",
                                      static_cast<int>(note.missing));
  }
  return line;
}

QString shortenedNameWarning(const QString& archive) {
  // Block 0 of the upload carries 15 bytes of the name in code page 1251.
  const std::string win = utf8ToWin(QFileInfo(archive).fileName().toStdString());
  const std::string sent = shortenName(win, 15);
  if (sent == win) return {};
  return tr("The name is too long for the handheld: it arrives as \"%1\".")
      .arg(QString::fromStdString(winToUtf8(sent)));
}

}  // namespace pagora
