// Turning FictionBook 2 (.fb2, .fb2.zip) and EPUB books and HTML pages (.htm, .html) into code
// page 1251 text buffers that the view window's clean-up commands and the handheld's reader take
// as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/exception.h"

namespace pagora {

// A book file could not be imported. The message starts with the file's path as given, then a
// colon and what is wrong, for example "/books/a.fb2: broken XML at line 3, column 7: mismatched
// tag". Nothing has been written when it is raised.
class EBookImport : public Exception {
 public:
  explicit EBookImport(const std::string& message) : Exception(message, FailureKind::BadData) {}
};

// Largest uncompressed size of one file taken from a zip (a zipped FB2, an EPUB member) or of a
// plain FB2 file or HTML page: larger ones are refused rather than read.
inline constexpr std::uint64_t kMaxBookMemberSize = 64ull << 20;

// True when the name ends in ".fb2", ".fb2.zip", ".epub", ".htm" or ".html" (letter case
// ignored); the content is not looked at.
bool isImportableBook(const std::string& path);
// True when the name ends in ".htm" or ".html" (letter case ignored).
bool isHtmlPage(const std::string& path);

// The text file that an imported book becomes: the same folder and name with the book's
// extension (".fb2", ".fb2.zip", ".epub", ".htm", ".html") replaced by ".txt":
// "/b/Anna.fb2.zip" -> "/b/Anna.txt".
// A name without such an extension just gains ".txt".
std::string importedTextName(const std::string& path);

// Reads the book at `path` (chosen by its extension: .fb2, .fb2.zip, .epub, .htm, .html) and
// returns its text as code page 1251 lines without terminators:
//   - the book's title, then its authors (one line, joined by ", "), then an empty line;
//   - each section title on lines of its own, with an empty line before it;
//   - each paragraph as one line starting with two spaces; poems stanza by stanza (an empty line
//     before each stanza), one verse per line, also starting with two spaces;
//   - epigraphs, citations and annotations as paragraphs; a line "[картинка]" where an image
//     stood; footnotes collected at the end, each starting with its number in brackets ("[1]"),
//     and references to them shown as "[1]" in the text.
// Typographic characters become plain ones (curly quotes -> " and ', dashes -> -, the ellipsis
// -> ..., every kind of space -> a space, stress marks and soft hyphens vanish); other characters
// that code page 1251 lacks take the conversion's fallback (a look-alike letter, the letter
// without its mark), and what has none becomes "?", counted in `*missing` when it is given.
// Raises EBookImport.
// An HTML page is read in the code page its byte order mark or its <meta> declaration names, else
// in the one its bytes look like (bytes that plainly contradict the declaration win); its title
// is the first line unless the first heading repeats it; its headings, block elements
// (paragraphs, list items, table rows...) and <br> make the lines, as in a browser (white space
// collapsed, <pre> line by line); styles, scripts and comments are dropped and every character
// reference is decoded.
std::vector<std::string> importBook(const std::string& path, std::size_t* missing = nullptr);

// The same for a book already in memory; `name` is used only in messages. importFb2 takes FB2
// bytes (a zipped FB2 too, as importBook does for a ".fb2" file that turns out to be a zip),
// importFb2Zip and importEpub the bytes of the zip archive, importHtml those of the page.
std::vector<std::string> importFb2(std::string_view bytes, const std::string& name,
                                   std::size_t* missing = nullptr);
std::vector<std::string> importFb2Zip(std::string_view bytes, const std::string& name,
                                      std::size_t* missing = nullptr);
std::vector<std::string> importEpub(std::string_view bytes, const std::string& name,
                                    std::size_t* missing = nullptr);
std::vector<std::string> importHtml(std::string_view bytes, const std::string& name,
                                    std::size_t* missing = nullptr);

}  // namespace pagora
