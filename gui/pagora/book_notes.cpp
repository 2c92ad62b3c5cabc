// The main window's notes on converted texts and shortened book names, in the window's language.
#include "pagora/book_notes.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "text/recode.h"

namespace pagora {

QString bookTextNote(const TBookTextNote& note) {
  const QString name = QFileInfo(QString::fromStdString(note.file)).fileName();
  const QString missing = QCoreApplication::translate(
      "BookNotes", "%n character(s) have no equivalent in code page 1251", nullptr,
      static_cast<int>(note.missing));
  if (!note.converted && !note.tidied) {
    // An imported book is noted only for what its conversion could not spell.
    if (note.imported) return name + QStringLiteral(": ") + missing;
    return QCoreApplication::translate("BookNotes", "%1: code page unsure, stored as it is")
        .arg(name);
  }
  QString line = note.converted ? QStringLiteral("%1: %2 -> 1251")
                                      .arg(name, QString::fromLatin1(codePageLabel(note.from)))
                                : QCoreApplication::translate("BookNotes", "%1: tidied").arg(name);
  if (note.converted && note.tidied)
    line += QStringLiteral(", ") + QCoreApplication::translate("BookNotes", "tidied");
  if (note.missing != 0) line += QStringLiteral(", ") + missing;
  return line;
}

QString shortenedNameWarning(const QString& archive) {
  // Block 0 of the upload carries 15 bytes of the name in code page 1251.
  const std::string win = utf8ToWin(QFileInfo(archive).fileName().toStdString());
  const std::string sent = shortenName(win, 15);
  if (sent == win) return {};
  return QCoreApplication::translate("BookNotes",
                                     "The name is too long for the handheld: it arrives as \"%1\".")
      .arg(QString::fromStdString(winToUtf8(sent)));
}

}  // namespace pagora
