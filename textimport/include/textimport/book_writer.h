// The line builder shared by the FB2 and EPUB readers: takes UTF-8 character data and block
// boundaries and produces code page 1251 lines (indented paragraphs, title lines, empty lines).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pagora::book_import {

// Appends UTF-8 text to a 1251 string with the typographic characters made plain. Every kind of
// space (and tab, line break) becomes one space, runs of them collapse and none is written at the
// start of `out`; `pendingSpace` carries a space that is only written before the next character.
// Adds to `*missing` (when given) the characters that became "?".
void appendUtf8AsWin(std::string& out, bool& pendingSpace, std::string_view utf8,
                     std::size_t* missing = nullptr);

// UTF-8 -> 1251 with the same replacements and white space collapsed and trimmed.
std::string plainWin(std::string_view utf8, std::size_t* missing = nullptr);

// A footnote's number as a reference or a note title writes it: "[12]", "{12}", "(12)", " 12 " ->
// "12".
std::string trimNoteNumber(const std::string& win);

// The placeholder for an image, in 1251.
const std::string& imageMark();

enum class LineKind { Paragraph, Title };

class BookWriter {
 public:
  // Character data of the current line.
  void text(std::string_view utf8) { appendUtf8AsWin(line_, pendingSpace_, utf8, &missing_); }
  // plainWin, counted with the text: for titles, authors and note numbers written later.
  std::string plain(std::string_view utf8) { return plainWin(utf8, &missing_); }
  // Text already in 1251 (placeholders, note numbers): joins the line like any word would.
  void winText(std::string_view win);
  // A cell separator inside a table row: " | " once the row holds something.
  void cellBreak();
  // Ends the current line (if it holds anything) and makes the next one of `kind`.
  void endLine();
  void startLine(LineKind kind) {
    endLine();
    kind_ = kind;
  }
  // An empty line, unless the text is empty or already ends with one.
  void blankLine();
  // A placeholder for an image: inline inside running text, otherwise a line of its own.
  void imagePlaceholder() { winText(imageMark()); }
  // Prefix (in 1251) that the next non-empty line gets after its indentation.
  void setNextPrefix(std::string prefix) { prefix_ = std::move(prefix); }
  // Ends a note: a note that had no text still gets a line with its number.
  void endNote();
  // Switches between the main text and the collected notes.
  void toNotes(bool notes);
  // Ends everything and returns the text: the main lines, then (after an empty line) the notes;
  // empty lines at the end are dropped.
  std::vector<std::string> finish();

  std::size_t mainLineCount() const { return main_.size(); }
  // Characters of the book that code page 1251 could not spell and became "?".
  std::size_t missing() const { return missing_; }

 private:
  std::vector<std::string>& out() { return inNotes_ ? notes_ : main_; }

  std::vector<std::string> main_;
  std::vector<std::string> notes_;
  bool inNotes_ = false;
  std::string line_;
  bool pendingSpace_ = false;
  LineKind kind_ = LineKind::Paragraph;
  std::string prefix_;
  std::size_t missing_ = 0;
};

}  // namespace pagora::book_import
