// Name rules of a book build: the book name normalised to ".lzh", and the names the chosen files
// are stored under in the handheld's character set.
#pragma once

#include <string>
#include <vector>

#include "common/exception.h"

namespace pagora {

// The book name as a build uses it: one leading and one trailing double quote dropped, then
// ".lzh" appended unless the extension already reads .lzh in any letter case.
// "book" -> "book.lzh", "notes.txt" -> "notes.txt.lzh", "BOOK.Lzh" stays, "" -> ".lzh".
std::string normaliseBookName(std::string text);

// The ADT file that wraps an archive: the archive's full name with ".adt" appended.
std::string adtNameFor(const std::string& archiveName);

// The name each chosen file is stored under, in list order. A file's name (UTF-8 on disk) is
// converted to code page 1251 and then to the device character set. When that converted path
// is already taken, by an earlier chosen file converted to the same name or by a chosen file
// still holding that name, the file keeps its code page 1251 name, just as a rename onto an
// existing file would have failed. Names are compared without regard to letter case. The
// archive holds every name once: a converted name that an earlier file (of any folder) is
// already stored under counts as such a clash, and when the own name is taken as well (names
// 1251 cannot tell apart, like "日本.txt" and "中文.txt", or equal names from two folders) the
// file is stored under its own name with "~2", "~3", ... before the extension.
std::vector<std::string> deviceStoredNames(const std::vector<std::string>& files);

// A UTF-8 text with its letters in one case, for comparing names without regard to letter
// case: ASCII, the Latin-1 letters and the Cyrillic letters of code page 1251 are lowered; every
// other byte, valid UTF-8 or not, stays as it is.
std::string foldLetterCase(const std::string& text);

// The chosen list's rule: appends `path` unless an entry equal to it without regard to letter
// case is present. Returns whether it was appended.
bool addChosenFile(std::vector<std::string>& chosen, const std::string& path);

}  // namespace pagora
