// What the main window says about a book build beyond its size: the texts converted on the way
// and a name the handheld will show shortened.
#pragma once

#include <QString>

#include "book/book_builder.h"

namespace pagora {

// "notes.txt: UTF-8 -> 1251", with the characters left as "?", or why a text went in as it is.
QString bookTextNote(const TBookTextNote& note);
// The warning for a book whose name block 0 cuts ("... arrives on the handheld as ..."), or an
// empty text when the name fits.
QString shortenedNameWarning(const QString& archive);

}  // namespace pagora
