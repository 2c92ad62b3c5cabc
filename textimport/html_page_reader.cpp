// HTML pages as text: a forgiving tokenizer that closes what browsers close implicitly, so that
// the (X)HTML element handler of EPUB chapters can turn the page into lines.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "html_page_charset.h"
#include "html_text_handler.h"
#include "textimport/html_entities.h"
#include "textimport/readers.h"

namespace pagora::book_import {

namespace {

// Deeper nesting than this is junk or an attack; further elements are closed at once, so that
// the work for every end tag stays bounded.
constexpr std::size_t kMaxOpen = 256;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

bool isVoid(std::string_view n) {
  return isOneOf(n, {"br",     "hr",    "img",      "meta",    "link",    "input", "area",
                     "base",   "col",   "embed",    "param",   "source",  "track", "wbr",
                     "keygen", "frame", "basefont", "bgsound", "isindex", "image"});
}

bool isHeading(std::string_view n) {
  return n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6';
}

// Elements whose start ends an open paragraph, as in a browser.
bool closesParagraph(std::string_view n) {
  return isHeading(n) ||
         isOneOf(n,
                 {"p",       "div",        "ul",         "ol",       "dl",   "li",      "dt",
                  "dd",      "pre",        "blockquote", "table",    "hr",   "section", "article",
                  "aside",   "header",     "footer",     "nav",      "main", "address", "center",
                  "figure",  "figcaption", "form",       "fieldset", "menu", "details", "summary",
                  "listing", "xmp",        "plaintext"});
}

// Elements whose content is dropped unread: scripts, styles, what a browser that runs scripts
// does not show.
bool isRawText(std::string_view n) {
  return isOneOf(n, {"script", "style", "iframe", "noembed", "noframes", "noscript", "template"});
}

// Elements that may stand in <head> without ending it.
bool belongsInHead(std::string_view n) {
  return isOneOf(n, {"title", "meta", "link", "style", "script", "base", "noscript", "basefont",
                     "bgsound", "template"});
}

class PageReader {
 public:
  PageReader(HtmlTextHandler& handler, BookWriter& writer) : h_(handler), w_(writer) {}

  void read(std::string_view doc) {
    std::size_t i = 0;
    while (i < doc.size()) {
      std::size_t lt = doc.find('<', i);
      if (lt == std::string_view::npos) lt = doc.size();
      appendHtmlText(text_, doc.substr(i, lt - i));
      if (lt == doc.size()) break;
      i = markup(doc, lt);
    }
    flushText();
    popTo(0);
  }

  bool titleTaken() const { return titleTaken_; }

 private:
  // Reads the markup at doc[lt] == '<'; returns where the text goes on. Markup that never ends
  // ends the page.
  std::size_t markup(std::string_view doc, std::size_t lt) {
    const std::size_t n = doc.size();
    const std::size_t p = lt + 1;
    if (p < n && doc[p] == '!' && doc.compare(p + 1, 2, "--") == 0) {
      const std::size_t q = p + 3;
      // "<!-->" and "<!--->" are whole (empty) comments.
      if (q < n && doc[q] == '>') return q + 1;
      if (doc.compare(q, 2, "->") == 0) return q + 2;
      const std::size_t end = doc.find("-->", q);
      return end == std::string_view::npos ? n : end + 3;
    }
    if (p < n &&
        (doc[p] == '!' || doc[p] == '?' || (doc[p] == '/' && p + 1 < n && !isLetter(doc[p + 1])))) {
      // A doctype, a processing instruction, "</>" or a bogus end tag: gone through its ">".
      const std::size_t end = doc.find('>', p);
      return end == std::string_view::npos ? n : end + 1;
    }
    const bool closing = p < n && doc[p] == '/';
    const std::size_t nameAt = closing ? p + 1 : p;
    if (nameAt >= n || !isLetter(doc[nameAt])) {
      text_.push_back('<');  // "a < b" is text
      return p;
    }
    std::size_t i = nameAt;
    name_.clear();
    while (i < n && !isSpace(doc[i]) && doc[i] != '/' && doc[i] != '>')
      name_.push_back(lower(doc[i++]));
    i = attributes(doc, i, closing);
    if (i == std::string_view::npos) return n;
    flushText();
    if (closing) {
      endTag();
      return i;
    }
    if (isRawText(name_) || name_ == "title" || name_ == "textarea") return rawText(doc, i);
    startTag();
    return i;
  }

  // Reads the attributes after a tag's name through its ">"; npos when the page ends first.
  std::size_t attributes(std::string_view doc, std::size_t i, bool closing) {
    values_.clear();
    const std::size_t n = doc.size();
    for (;;) {
      while (i < n && (isSpace(doc[i]) || doc[i] == '/')) ++i;
      if (i >= n) return std::string_view::npos;
      if (doc[i] == '>') return i + 1;
      std::string attrName;
      do {
        attrName.push_back(lower(doc[i++]));
      } while (i < n && !isSpace(doc[i]) && doc[i] != '/' && doc[i] != '>' && doc[i] != '=');
      while (i < n && isSpace(doc[i])) ++i;
      std::string value;
      if (i < n && doc[i] == '=') {
        ++i;
        while (i < n && isSpace(doc[i])) ++i;
        if (i >= n) return std::string_view::npos;
        std::size_t end;
        if (doc[i] == '"' || doc[i] == '\'') {
          end = doc.find(doc[i], i + 1);
          if (end == std::string_view::npos) return end;
          appendHtmlText(value, doc.substr(i + 1, end - i - 1), true);
          i = end + 1;
        } else {
          end = i;
          while (end < n && !isSpace(doc[end]) && doc[end] != '>') ++end;
          appendHtmlText(value, doc.substr(i, end - i), true);
          i = end;
        }
      }
      if (!closing) {
        values_.push_back(std::move(attrName));
        values_.push_back(std::move(value));
      }
    }
  }

  // The content of a script, style, title or text area, through its end tag.
  std::size_t rawText(std::string_view doc, std::size_t from) {
    std::size_t end = from;
    for (;;) {
      end = doc.find("</", end);
      if (end == std::string_view::npos) break;
      std::size_t k = 0;
      while (k < name_.size() && end + 2 + k < doc.size() && lower(doc[end + 2 + k]) == name_[k])
        ++k;
      const std::size_t after = end + 2 + k;
      if (k == name_.size() &&
          (after >= doc.size() || isSpace(doc[after]) || doc[after] == '/' || doc[after] == '>'))
        break;
      end += 2;
    }
    const std::string_view content =
        doc.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
    if (name_ == "title") {
      title(content);
    } else if (name_ == "textarea") {
      startTag();
      appendHtmlText(text_, content);
    }
    // The end tag itself is read as one: it closes what is open and nothing else.
    return end == std::string_view::npos ? doc.size() : end;
  }

  // The page's title is its first line, as a book's title is, when it comes before the text.
  void title(std::string_view content) {
    if (titleTaken_ || bodyStarted_) return;
    titleTaken_ = true;
    w_.startLine(LineKind::Title);
    w_.text(decodeHtmlText(content));
    w_.blankLine();
    w_.startLine(LineKind::Paragraph);
  }

  void flushText() {
    if (text_.empty()) return;
    if (!bodyStarted_) {
      bool blank = true;
      for (char c : text_) blank = blank && isSpace(c);
      if (!blank) {
        closeHead();
        bodyStarted_ = true;
      }
    }
    h_.chars(text_);
    text_.clear();
  }

  void startTag() {
    if (name_ == "html") return;
    if (name_ == "body") {
      closeHead();
      bodyStarted_ = true;
      return;
    }
    if (name_ == "head") {
      if (bodyStarted_ || headSeen_) return;
      headSeen_ = true;
    } else if (!belongsInHead(name_)) {
      closeHead();
      bodyStarted_ = true;
    }
    closeImplied();
    atts_.clear();
    for (const std::string& v : values_) atts_.push_back(v.c_str());
    atts_.push_back(nullptr);
    h_.start(name_, atts_.data());
    if (isVoid(name_) || open_.size() >= kMaxOpen) {
      h_.end(name_);
      return;
    }
    open_.push_back(name_);
  }

  // What a new element closes: a paragraph before a block, a list item before the next...
  void closeImplied() {
    if (closesParagraph(name_))
      closeOpen({"p"}, {"table", "td", "th", "caption", "button", "object"});
    if (name_ == "li") closeOpen({"li"}, {"ul", "ol", "table", "td", "th"});
    if (name_ == "dt" || name_ == "dd") closeOpen({"dt", "dd"}, {"dl", "table", "td", "th"});
    if (name_ == "tr") closeOpen({"tr"}, {"table"});
    if (name_ == "td" || name_ == "th") closeOpen({"td", "th"}, {"tr", "table"});
    if (name_ == "option") closeOpen({"option"}, {"select"});
    if (isHeading(name_) && !open_.empty() && isHeading(open_.back())) popTo(open_.size() - 1);
  }

  // Closes the nearest open element named in `names` unless one of `scope` lies above it.
  void closeOpen(std::initializer_list<std::string_view> names,
                 std::initializer_list<std::string_view> scope) {
    for (std::size_t i = open_.size(); i-- > 0;) {
      if (isOneOf(open_[i], names)) {
        popTo(i);
        return;
      }
      if (isOneOf(open_[i], scope)) return;
    }
  }

  void endTag() {
    if (name_ == "html" || name_ == "body") return;
    if (name_ == "br") {  // "</br>" breaks a line in every browser
      values_.clear();
      startTag();
      return;
    }
    for (std::size_t i = open_.size(); i-- > 0;) {
      if (open_[i] == name_ || (isHeading(name_) && isHeading(open_[i]))) {
        popTo(i);
        return;
      }
    }
    if (name_ == "p") {  // a "</p>" alone is an empty paragraph, a break
      values_.clear();
      startTag();
      if (!open_.empty() && open_.back() == "p") popTo(open_.size() - 1);
    }
  }

  void closeHead() {
    for (std::size_t i = 0; i < open_.size(); ++i)
      if (open_[i] == "head") {
        popTo(i);
        return;
      }
  }

  // Closes the open elements from the innermost down to open_[depth].
  void popTo(std::size_t depth) {
    while (open_.size() > depth) {
      h_.end(open_.back());
      open_.pop_back();
    }
  }

  HtmlTextHandler& h_;
  BookWriter& w_;
  std::vector<std::string> open_;
  std::vector<std::string> values_;  // attribute names and values, in turn
  std::vector<const char*> atts_;    // the same as the handler takes them
  std::string name_;
  std::string text_;
  bool bodyStarted_ = false;
  bool headSeen_ = false;
  bool titleTaken_ = false;
};

}  // namespace

std::vector<std::string> readHtmlPage(std::string_view bytes, std::size_t* missing) {
  const std::string page = pageAsUtf8(bytes);
  BookWriter writer;
  std::map<std::string, std::string> noteNumbers;
  int noteCount = 0;
  HtmlTextHandler handler(writer, noteNumbers, noteCount);
  PageReader reader(handler, writer);
  reader.read(page);
  writer.endLine();
  if (missing) *missing = writer.missing();
  std::vector<std::string> lines = writer.finish();
  // Most pages repeat their title as the first heading: once is enough.
  if (reader.titleTaken() && lines.size() > 2 && lines[1].empty() && lines[2] == lines[0])
    lines.erase(lines.begin(), lines.begin() + 2);
  return lines;
}

}  // namespace pagora::book_import
