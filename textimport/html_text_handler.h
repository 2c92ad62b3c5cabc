// The reader of (X)HTML markup shared by EPUB chapters and HTML pages: elements and text in,
// paragraphs, headings, table rows, preformatted lines and footnotes out through a BookWriter.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "textimport/book_writer.h"
#include "textimport/xml_reader.h"

namespace pagora::book_import {

enum class HTag : std::uint8_t {
  Inline,
  Skip,
  Heading,
  Block,
  Pre,
  Tr,
  Td,
  Br,
  Img,
  Svg,
  A,
  Aside
};

// Takes element names in lower case and without a namespace prefix; every Start must be matched
// by an End.
class HtmlTextHandler : public XmlHandler {
 public:
  HtmlTextHandler(BookWriter& w, std::map<std::string, std::string>& noteNumbers, int& noteCount)
      : w_(w), noteNumbers_(noteNumbers), noteCount_(noteCount) {}

  void start(std::string_view name, const char** atts) override;
  void end(std::string_view name) override;
  void chars(std::string_view utf8) override;

  // Chapters outside the linear reading order are notes as a whole.
  void setNotesChapter(bool notes) { notesChapter_ = notes; }

 private:
  LineKind kind() const { return headingDepth_ > 0 ? LineKind::Title : LineKind::Paragraph; }
  void endNoteRef();
  void startNote(const char* id, int depth);

  BookWriter& w_;
  std::map<std::string, std::string>& noteNumbers_;
  int& noteCount_;
  std::vector<HTag> stack_;
  int skipFrom_ = -1;
  int captureFrom_ = -1;
  int noteFrom_ = -1;
  int headingDepth_ = 0;
  int preDepth_ = 0;
  bool notesChapter_ = false;
  std::string capture_;
  std::string captureHref_;
};

}  // namespace pagora::book_import
