// What the parts of Tidy share: characters of code page 1251 or UTF-8 read as Unicode, the lines
// as measured, and the text's figures (usual width, indent, kind of wrapping).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/tidy.h"

namespace pagora::tidy {

// One character: its code point and how many bytes it takes.
struct Char {
  char32_t cp = 0;
  unsigned size = 0;
};

// The character that starts at `at` / ends at `end` (a byte of 1251 is read as its letter; a
// byte that is not valid UTF-8 as U+FFFD). An empty range gives {0, 0}.
Char charAt(std::string_view s, std::size_t at, bool utf8);
Char charBefore(std::string_view s, std::size_t end, bool utf8);
std::uint32_t charCount(std::string_view s, bool utf8);

bool isLetter(char32_t c);
bool isUpper(char32_t c);
char32_t toLower(char32_t c);
bool isDash(char32_t c);  // hyphen-minus, en dash, em dash

// The line ends a sentence: . ! ? … or : before any closing quotes and brackets.
bool endsSentence(std::string_view text, bool utf8);
// Ends in a letter and a hyphen: a word may be cut here.
bool endsInCutWord(std::string_view text, bool utf8);
// Starts with a dash and a space (a line of dialogue); `capital`: and a capital letter after it.
bool startsDialogue(std::string_view text, bool utf8, bool capital);
bool hasLetterOrDigit(std::string_view text);
bool hasLowercase(std::string_view text, bool utf8);
std::uint32_t firstWordWidth(std::string_view text, bool utf8);

struct Line {
  std::string_view text;     // without the blanks around it
  std::uint32_t indent = 0;  // blanks before the text
  std::uint32_t width = 0;   // characters up to the last non-blank, indent included
  bool blank = false;
  bool seam = false;  // a page break was taken out right before this line
};

Line measure(std::string_view raw, bool utf8);

// The text's figures, from its non-blank lines.
struct Figures {
  std::uint32_t usual = 0;       // width most full lines reach (95th percentile)
  std::uint32_t widest = 0;      // the wrapping width (99th percentile)
  std::uint32_t shortBelow = 0;  // a line narrower than this is clearly short
  std::uint32_t baseIndent = 0;  // the indent of ordinary lines
  bool wrapped = false;          // hard-wrapped: most full lines end inside a sentence
  bool greedy = false;           // wrapped as full as the next word allowed
  bool justified = false;        // full lines padded to one width
  TidyLayout guess = TidyLayout::Lines;
};

// Takes out running heads and feet, page numbers and form feeds, with the blank lines around
// them, and marks the line after each such page break as a seam. Returns the lines removed.
std::size_t removePageFurniture(std::vector<Line>& lines, bool utf8);
Figures measureText(const std::vector<Line>& lines, bool utf8);

}  // namespace pagora::tidy
