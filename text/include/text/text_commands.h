// The view window's clean-up commands as functions over a text buffer: recode every line,
// Delete HTML tags, One paragraph one line, Collapse spaces. GUI-free; progress goes to a callback.
#pragma once

#include <functional>

#include "text/html_parser.h"
#include "text/recode.h"
#include "text/text_buffer.h"

namespace pagora {

// Progress of a per-line command: `position` is the index of the line just handled and
// `maximum` the gauge maximum the window sets (line count - 1 for recoding, line count - 2 for
// the paragraph and space commands, as the window always did). Called after lines 0, 100,
// 200, ... (where the window lets its message loop run) and after the last line.
using LineProgress = std::function<void(int position, int maximum)>;

// Which conversion recodeLines applies to every line. Returns how many characters became "?"
// (only UTF-8 has any: see utf8ToWin).
enum class Recoding { DosToWin, KoiToWin, Utf8ToWin };
std::size_t recodeLines(TextBuffer& lines, Recoding recoding, const LineProgress& progress = {});

// Progress of Delete HTML tags: the parser's per-character event (1-based source line, line
// count). It comes once per source character, so a window should pump its loop only now and then.
using HtmlProgress = std::function<void(int line, int total)>;

// The text-run handler of Delete HTML tags: replaces "&nbsp;" (lower case only) by one space,
// splits the run at CR LF, lone CR and lone LF (a break at the very end adds no line, a break
// at the start does) and appends the pieces to `out`.
void appendTextRunLines(const std::string& run, TextBuffer& out);

// Delete HTML tags: runs `parser` over the lines and keeps every text run it reports, split into
// lines. A text that yields no run at all becomes the single line "Пусто" (in code page 1251).
// The parser's title state and categories carry over between calls, as in the view window,
// which owns one parser; its OnFoundText/OnParsing are used during the call and restored after.
void deleteHtmlTags(TextBuffer& lines, THTMLParser& parser, const HtmlProgress& progress = {});
// The same with a parser of its own.
void deleteHtmlTags(TextBuffer& lines, const HtmlProgress& progress = {});

// The single line Delete HTML tags leaves when no text was found: "Пусто" in code page 1251.
extern const char* const kEmptyTextLine;

// One paragraph, one line: joins the lines of each paragraph (a paragraph starts at an empty line
// or at a line whose first two characters are spaces) into one line that starts with a space.
void oneParagraphOneLine(TextBuffer& lines, const LineProgress& progress = {});

// Collapse spaces: in every line drops each space directly followed by another space and a
// space at the end of the line. Tabs are not spaces.
void collapseSpaces(TextBuffer& lines, const LineProgress& progress = {});
std::string collapseSpacesInLine(std::string_view line);

}  // namespace pagora
