// (X)HTML elements as lines: what each element does to the text around it.
#include "html_text_handler.h"

namespace pagora::book_import {

namespace {

bool hasWord(const char* list, std::string_view word) {
  if (!list) return false;
  std::string_view s(list);
  while (!s.empty()) {
    const auto space = s.find_first_of(" \t\r\n");
    std::string_view token = s.substr(0, space);
    // "doc-footnote" roles and "footnote" types alike
    if (token == word || token == std::string("doc-") + std::string(word)) return true;
    if (space == std::string_view::npos) break;
    s.remove_prefix(space + 1);
  }
  return false;
}

std::string fragment(const char* href) {
  if (!href) return "";
  std::string_view s(href);
  const auto hash = s.find('#');
  return hash == std::string_view::npos ? "" : std::string(s.substr(hash + 1));
}

HTag hTagOf(std::string_view n) {
  if (n == "p" || n == "div") return HTag::Block;
  if (n == "span" || n == "em" || n == "i" || n == "b" || n == "strong" || n == "sup" ||
      n == "sub" || n == "small")
    return HTag::Inline;
  if (n == "br") return HTag::Br;
  if (n == "a") return HTag::A;
  if (n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6') return HTag::Heading;
  if (n == "img" || n == "image" || n == "object") return HTag::Img;
  if (n == "svg") return HTag::Svg;
  if (n == "li" || n == "dt" || n == "dd" || n == "blockquote" || n == "section" ||
      n == "article" || n == "header" || n == "footer" || n == "nav" || n == "main" ||
      n == "figure" || n == "figcaption" || n == "center" || n == "address" || n == "ul" ||
      n == "ol" || n == "dl" || n == "table" || n == "tbody" || n == "thead" || n == "tfoot" ||
      n == "caption" || n == "body" || n == "html" || n == "hr")
    return HTag::Block;
  if (n == "pre") return HTag::Pre;
  if (n == "tr") return HTag::Tr;
  if (n == "td" || n == "th") return HTag::Td;
  if (n == "aside") return HTag::Aside;
  if (n == "head" || n == "script" || n == "style" || n == "title" || n == "template")
    return HTag::Skip;
  return HTag::Inline;
}

}  // namespace

void HtmlTextHandler::start(std::string_view name, const char** atts) {
  const HTag tag = hTagOf(name);
  const int depth = static_cast<int>(stack_.size());
  stack_.push_back(tag);
  if (skipFrom_ >= 0 || captureFrom_ >= 0) return;
  switch (tag) {
    case HTag::Skip:
      skipFrom_ = depth;
      break;
    case HTag::Heading:
      w_.blankLine();
      w_.startLine(LineKind::Title);
      ++headingDepth_;
      break;
    case HTag::Block: {
      // Books converted from FB2 keep its empty lines and stanzas as classes.
      const char* classes = attribute(atts, "class");
      if (hasWord(classes, "empty-line") || hasWord(classes, "stanza")) w_.blankLine();
      w_.startLine(kind());
      break;
    }
    case HTag::Pre:
      w_.startLine(kind());
      ++preDepth_;
      break;
    case HTag::Tr:
      w_.startLine(LineKind::Paragraph);
      break;
    case HTag::Td:
      w_.cellBreak();
      break;
    case HTag::Br:
      w_.startLine(kind());
      break;
    case HTag::Svg:
      skipFrom_ = depth;
      [[fallthrough]];
    case HTag::Img:
      w_.imagePlaceholder();
      break;
    case HTag::A:
      if (hasWord(attribute(atts, "type"), "noteref") ||
          hasWord(attribute(atts, "role"), "noteref")) {
        captureFrom_ = depth;
        capture_.clear();
        captureHref_ = fragment(attribute(atts, "href"));
      }
      break;
    case HTag::Aside:
      if (hasWord(attribute(atts, "type"), "footnote") ||
          hasWord(attribute(atts, "type"), "endnote") ||
          hasWord(attribute(atts, "type"), "rearnote") ||
          hasWord(attribute(atts, "role"), "footnote") ||
          hasWord(attribute(atts, "role"), "endnote")) {
        startNote(attribute(atts, "id"), depth);
      } else {
        w_.startLine(kind());
      }
      break;
    case HTag::Inline:
      break;
  }
}

void HtmlTextHandler::end(std::string_view) {
  const HTag tag = stack_.back();
  stack_.pop_back();
  const int depth = static_cast<int>(stack_.size());
  if (skipFrom_ >= 0) {
    if (depth == skipFrom_) skipFrom_ = -1;
    return;
  }
  if (captureFrom_ >= 0) {
    if (depth == captureFrom_) endNoteRef();
    return;
  }
  switch (tag) {
    case HTag::Heading:
      w_.endLine();
      --headingDepth_;
      w_.startLine(kind());
      break;
    case HTag::Pre:
      --preDepth_;
      w_.startLine(kind());
      break;
    case HTag::Block:
    case HTag::Tr:
      w_.startLine(kind());
      break;
    case HTag::Aside:
      if (depth == noteFrom_) {
        noteFrom_ = -1;
        w_.toNotes(notesChapter_);
      }
      w_.startLine(kind());
      break;
    default:
      break;
  }
}

void HtmlTextHandler::chars(std::string_view text) {
  if (skipFrom_ >= 0) return;
  if (captureFrom_ >= 0) {
    capture_.append(text);
    return;
  }
  if (preDepth_ == 0) {
    w_.text(text);
    return;
  }
  // Preformatted text keeps its line breaks.
  for (;;) {
    const auto nl = text.find('\n');
    w_.text(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    w_.startLine(kind());
    text.remove_prefix(nl + 1);
  }
}

void HtmlTextHandler::endNoteRef() {
  captureFrom_ = -1;
  std::string number = trimNoteNumber(w_.plain(capture_));
  if (number.empty()) number = std::to_string(++noteCount_);
  if (!captureHref_.empty()) noteNumbers_.emplace(captureHref_, number);
  w_.winText("[" + number + "]");
}

void HtmlTextHandler::startNote(const char* id, int depth) {
  w_.endLine();
  noteFrom_ = depth;
  w_.toNotes(true);
  std::string number;
  if (id) {
    const auto it = noteNumbers_.find(id);
    if (it != noteNumbers_.end()) number = it->second;
  }
  if (number.empty()) number = std::to_string(++noteCount_);
  w_.setNextPrefix("[" + number + "] ");
}

}  // namespace pagora::book_import
