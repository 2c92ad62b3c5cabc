// Tidy: turns a text as readers find it (hard-wrapped, justified, hyphenated, with page headers
// and numbers) into one line per paragraph for the handheld's narrow screen. Code page 1251 or
// UTF-8 bytes; no locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_buffer.h"

namespace pagora {

// How the paragraphs of a text are marked. Auto finds out from the text itself.
enum class TidyLayout {
  Auto,
  Lines,   // one paragraph a line already: the text is left as it is
  Indent,  // hard-wrapped, a paragraph starts at an indented line
  Blank,   // hard-wrapped, blank lines between paragraphs
  Width,   // hard-wrapped, neither: a paragraph ends at a short line that ends a sentence
};

struct TidyOptions {
  TidyLayout layout = TidyLayout::Auto;
  bool keepHyphens = false;  // leave "пере-" + "нос" as two halves joined with the hyphen
};

// What a tidy found and did.
struct TidyReport {
  TidyLayout layout = TidyLayout::Lines;  // the layout used (the guess, or the one asked for)
  std::size_t paragraphs = 0;             // lines written (paragraphs and lines kept apart)
  std::size_t hyphensJoined = 0;          // words rejoined across a line end
  std::size_t pageLines = 0;              // running heads, page numbers and page breaks removed
};

// "auto", "lines", "indent", "blank", "width"; tidyLayoutFromName returns false for other names.
const char* tidyLayoutName(TidyLayout layout);
bool tidyLayoutFromName(std::string_view name, TidyLayout& layout);

// The text in memory, lines in and lines out (what the book builder tidies into an archive).
// Every paragraph comes out as one line that starts with one space, as "One paragraph, one
// line" starts it; headings, verse and scene breaks stay lines of their own, with an empty line
// around them where the text had one. A text laid out one paragraph a line comes back as given.
TextBuffer tidyLines(const TextBuffer& lines, const TidyOptions& options = {},
                     TidyReport* report = nullptr);
// The same from the bytes of a file (line ends CR LF, LF or CR).
TextBuffer tidyText(std::string_view bytes, const TidyOptions& options = {},
                    TidyReport* report = nullptr);
// Bytes in, bytes out, with the line end the file uses (its first one; CR LF when it has none)
// and a line end after the last line when the file had one. A text that needs no change comes
// back byte for byte.
std::string tidyBytes(std::string_view bytes, const TidyOptions& options = {},
                      TidyReport* report = nullptr);

}  // namespace pagora
