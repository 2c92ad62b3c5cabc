// The book readers behind importBook: each turns parsed documents into BookWriter lines.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pagora::book_import {

// Hands a document to `consume` piece by piece (the last piece flagged).
using DocumentSource = std::function<void(const std::function<void(std::string_view, bool)>&)>;

// Each reader sets `*missing` (when given) to the characters that code page 1251 could not spell.

// Reads one FictionBook 2 document; `file` names the book and `member` the file inside a zip
// archive ("" for a plain file) in messages.
std::vector<std::string> readFb2(const DocumentSource& source, const std::string& file,
                                 const std::string& member, std::size_t* missing);

class ZipBook;
// Reads an EPUB book from its opened zip archive.
std::vector<std::string> readEpub(ZipBook& zip, const std::string& file, std::size_t* missing);

// Reads an HTML page (the whole file) in whatever code page it is in.
std::vector<std::string> readHtmlPage(std::string_view bytes, std::size_t* missing);

}  // namespace pagora::book_import
