// FictionBook 2: the title-info header, the main bodies in order, the notes bodies at the end.
#include <cstdint>
#include <string>
#include <vector>

#include "textimport/book_import.h"
#include "textimport/book_writer.h"
#include "textimport/readers.h"
#include "textimport/xml_reader.h"

namespace pagora::book_import {

namespace {

enum class Tag : std::uint8_t {
  Other,
  FictionBook,
  Description,
  TitleInfo,
  BookTitle,
  Author,
  FirstName,
  MiddleName,
  LastName,
  Nickname,
  Binary,
  Stylesheet,
  Body,
  Section,
  Title,
  Subtitle,
  P,
  V,
  Stanza,
  Poem,
  Epigraph,
  Cite,
  TextAuthor,
  Date,
  EmptyLine,
  Image,
  A,
  Tr,
  Td,
  Annotation,
};

Tag tagOf(std::string_view n) {
  // Ordered roughly by how often they occur in a book.
  if (n == "p") return Tag::P;
  if (n == "emphasis" || n == "strong" || n == "style" || n == "sup" || n == "sub")
    return Tag::Other;
  if (n == "v") return Tag::V;
  if (n == "a") return Tag::A;
  if (n == "section") return Tag::Section;
  if (n == "title") return Tag::Title;
  if (n == "empty-line") return Tag::EmptyLine;
  if (n == "subtitle") return Tag::Subtitle;
  if (n == "stanza") return Tag::Stanza;
  if (n == "poem") return Tag::Poem;
  if (n == "epigraph") return Tag::Epigraph;
  if (n == "cite") return Tag::Cite;
  if (n == "text-author") return Tag::TextAuthor;
  if (n == "date") return Tag::Date;
  if (n == "image") return Tag::Image;
  if (n == "tr") return Tag::Tr;
  if (n == "td" || n == "th") return Tag::Td;
  if (n == "annotation") return Tag::Annotation;
  if (n == "body") return Tag::Body;
  if (n == "binary") return Tag::Binary;
  if (n == "description") return Tag::Description;
  if (n == "title-info") return Tag::TitleInfo;
  if (n == "book-title") return Tag::BookTitle;
  if (n == "author") return Tag::Author;
  if (n == "first-name") return Tag::FirstName;
  if (n == "middle-name") return Tag::MiddleName;
  if (n == "last-name") return Tag::LastName;
  if (n == "nickname") return Tag::Nickname;
  if (n == "stylesheet") return Tag::Stylesheet;
  if (n == "FictionBook") return Tag::FictionBook;
  return Tag::Other;
}

struct AuthorName {
  std::string first, middle, last, nick;
};

class Fb2Handler : public XmlHandler {
 public:
  explicit Fb2Handler(const std::string& file) : file_(file) {}
  void setReader(XmlReader* reader) { reader_ = reader; }

  void start(std::string_view name, const char** atts) override {
    const Tag tag = tagOf(name);
    const int depth = static_cast<int>(stack_.size());
    stack_.push_back(tag);
    if (depth == 0) {
      if (tag != Tag::FictionBook)
        reader_->fail("not a FictionBook file (the document is <" + std::string(name) + ">)");
      return;
    }
    if (skipFrom_ >= 0) return;
    if (inDescription_) {
      startInDescription(tag);
      return;
    }
    switch (tag) {
      case Tag::Description:
        inDescription_ = true;
        break;
      case Tag::Binary:
      case Tag::Stylesheet:
        skipFrom_ = depth;
        break;
      case Tag::Body: {
        if (bodyDepth_ < 0) startBody(atts, depth);
        break;
      }
      default:
        if (bodyDepth_ >= 0) startInBody(tag, atts, depth);
        break;
    }
  }

  void end(std::string_view) override {
    const Tag tag = stack_.back();
    stack_.pop_back();
    const int depth = static_cast<int>(stack_.size());
    if (skipFrom_ >= 0) {
      if (depth == skipFrom_) skipFrom_ = -1;
      return;
    }
    if (captureFrom_ >= 0) {
      // Inside a captured title or link nothing else counts.
      if (captureFrom_ != depth) return;
      endCapture();
      if (captureWhat_ == Capture::NoteNumber) return;
    }
    if (inDescription_) {
      if (tag == Tag::Description) inDescription_ = false;
      if (tag == Tag::TitleInfo) inTitleInfo_ = false;
      return;
    }
    if (bodyDepth_ < 0) return;
    switch (tag) {
      case Tag::Body:
        if (depth == bodyDepth_) {
          w_.toNotes(false);
          bodyDepth_ = -1;
        }
        break;
      case Tag::Section:
        w_.endLine();
        if (inNotes_ && sectionDepth_ == noteDepth_) {
          w_.endNote();
          noteDepth_ = 0;
        }
        --sectionDepth_;
        break;
      case Tag::Title:
        w_.endLine();
        --titleDepth_;
        break;
      case Tag::Poem:
        w_.blankLine();
        break;
      case Tag::P:
      case Tag::V:
      case Tag::Subtitle:
      case Tag::TextAuthor:
      case Tag::Date:
      case Tag::Tr:
      case Tag::Epigraph:
      case Tag::Cite:
      case Tag::Annotation:
        w_.endLine();
        w_.startLine(LineKind::Paragraph);
        break;
      default:
        break;
    }
  }

  void chars(std::string_view text) override {
    if (skipFrom_ >= 0) return;
    if (captureFrom_ >= 0) {
      capture_.append(text);
      return;
    }
    if (bodyDepth_ >= 0) w_.text(text);
  }

  std::vector<std::string> finish(std::size_t* missing) {
    if (!sawBody_) throw EBookImport(file_ + ": the FictionBook file has no body");
    if (missing) *missing = w_.missing();
    return w_.finish();
  }

 private:
  enum class Capture { BookTitle, AuthorPart, NoteNumber, NoteLink };

  void startCapture(Capture what, int depth) {
    captureFrom_ = depth;
    captureWhat_ = what;
    capture_.clear();
  }

  void endCapture() {
    captureFrom_ = -1;
    switch (captureWhat_) {
      case Capture::BookTitle:
        if (bookTitle_.empty()) bookTitle_ = capture_;
        break;
      case Capture::AuthorPart:
        if (authorPart_) *authorPart_ += capture_;
        authorPart_ = nullptr;
        break;
      case Capture::NoteNumber: {
        const std::string number = trimNoteNumber(w_.plain(capture_));
        if (!number.empty()) w_.setNextPrefix("[" + number + "] ");
        break;
      }
      case Capture::NoteLink: {
        const std::string number = trimNoteNumber(w_.plain(capture_));
        if (!number.empty()) w_.winText("[" + number + "]");
        break;
      }
    }
  }

  void startInDescription(Tag tag) {
    const int depth = static_cast<int>(stack_.size()) - 1;
    if (tag == Tag::TitleInfo) inTitleInfo_ = true;
    if (!inTitleInfo_ || captureFrom_ >= 0) return;
    switch (tag) {
      case Tag::BookTitle:
        startCapture(Capture::BookTitle, depth);
        break;
      case Tag::Author:
        authors_.emplace_back();
        break;
      case Tag::FirstName:
      case Tag::MiddleName:
      case Tag::LastName:
      case Tag::Nickname:
        if (authors_.empty() || stack_[stack_.size() - 2] != Tag::Author) break;
        authorPart_ = tag == Tag::FirstName    ? &authors_.back().first
                      : tag == Tag::MiddleName ? &authors_.back().middle
                      : tag == Tag::LastName   ? &authors_.back().last
                                               : &authors_.back().nick;
        startCapture(Capture::AuthorPart, depth);
        break;
      default:
        break;
    }
  }

  void writeHeader() {
    headerWritten_ = true;
    const std::string title = w_.plain(bookTitle_);
    if (!title.empty()) {
      w_.startLine(LineKind::Title);
      w_.winText(title);
    }
    std::string names;
    for (const AuthorName& a : authors_) {
      std::string full;
      for (const std::string* part : {&a.first, &a.middle, &a.last}) {
        const std::string p = w_.plain(*part);
        if (p.empty()) continue;
        if (!full.empty()) full += ' ';
        full += p;
      }
      if (full.empty()) full = w_.plain(a.nick);
      if (full.empty()) continue;
      if (!names.empty()) names += ", ";
      names += full;
    }
    if (!names.empty()) {
      w_.startLine(LineKind::Title);
      w_.winText(names);
    }
    w_.blankLine();
    w_.startLine(LineKind::Paragraph);
  }

  void startBody(const char** atts, int depth) {
    if (!headerWritten_) writeHeader();
    const char* bodyName = attribute(atts, "name");
    const std::string n = bodyName ? bodyName : "";
    inNotes_ = n == "notes" || n == "comments" || n == "footnotes" || (sawBody_ && !n.empty());
    sawBody_ = true;
    bodyDepth_ = depth;
    sectionDepth_ = 0;
    noteDepth_ = 0;
    titleDepth_ = 0;
    w_.toNotes(inNotes_);
  }

  bool insideLine() const {
    for (auto it = stack_.rbegin() + 1; it != stack_.rend(); ++it) {
      switch (*it) {
        case Tag::P:
        case Tag::V:
        case Tag::Subtitle:
        case Tag::TextAuthor:
        case Tag::Date:
        case Tag::Td:
          return true;
        case Tag::Section:
        case Tag::Body:
        case Tag::Title:
        case Tag::Poem:
        case Tag::Stanza:
        case Tag::Epigraph:
        case Tag::Cite:
        case Tag::Annotation:
          return false;
        default:
          break;
      }
    }
    return false;
  }

  void startInBody(Tag tag, const char** atts, int depth) {
    if (captureFrom_ >= 0) return;
    switch (tag) {
      case Tag::Section:
        w_.endLine();
        ++sectionDepth_;
        // A note is a section that the text can link to; sections without an id only group
        // notes (by part or chapter) and read like any section.
        if (inNotes_ && noteDepth_ == 0 && attribute(atts, "id")) {
          noteDepth_ = sectionDepth_;
          // A named string, not "[" + a temporary: GCC 12 warns falsely (-Wrestrict) on that.
          const std::string number = std::to_string(++noteCount_);
          w_.setNextPrefix("[" + number + "] ");
        }
        break;
      case Tag::Title:
        if (inNotes_ && sectionDepth_ == noteDepth_ && stack_[stack_.size() - 2] == Tag::Section) {
          w_.endLine();
          startCapture(Capture::NoteNumber, depth);
          break;
        }
        w_.blankLine();
        w_.startLine(LineKind::Title);
        ++titleDepth_;
        break;
      case Tag::P:
      case Tag::V:
      case Tag::TextAuthor:
      case Tag::Date:
        w_.startLine(titleDepth_ > 0 ? LineKind::Title : LineKind::Paragraph);
        break;
      case Tag::Subtitle:
        w_.blankLine();
        w_.startLine(LineKind::Title);
        break;
      case Tag::Stanza:
      case Tag::EmptyLine:
        w_.blankLine();
        w_.startLine(LineKind::Paragraph);
        break;
      case Tag::Poem:
      case Tag::Epigraph:
      case Tag::Cite:
      case Tag::Annotation:
      case Tag::Tr:
        w_.startLine(LineKind::Paragraph);
        break;
      case Tag::Td:
        w_.cellBreak();
        break;
      case Tag::Image:
        if (insideLine()) {
          w_.imagePlaceholder();
        } else {
          w_.endLine();
          w_.imagePlaceholder();
          w_.endLine();
        }
        break;
      case Tag::A: {
        const char* type = attribute(atts, "type");
        if (type && std::string_view(type) == "note") startCapture(Capture::NoteLink, depth);
        break;
      }
      default:
        break;
    }
  }

  const std::string& file_;
  XmlReader* reader_ = nullptr;
  BookWriter w_;
  std::vector<Tag> stack_;
  int skipFrom_ = -1;
  int captureFrom_ = -1;
  Capture captureWhat_ = Capture::BookTitle;
  std::string capture_;
  bool inDescription_ = false;
  bool inTitleInfo_ = false;
  std::string bookTitle_;
  std::vector<AuthorName> authors_;
  std::string* authorPart_ = nullptr;
  bool headerWritten_ = false;
  bool sawBody_ = false;
  bool inNotes_ = false;
  int bodyDepth_ = -1;
  int sectionDepth_ = 0;
  int noteDepth_ = 0;  // sectionDepth_ of the note being read, 0 outside notes
  int titleDepth_ = 0;
  int noteCount_ = 0;
};

}  // namespace

std::vector<std::string> readFb2(const DocumentSource& source, const std::string& file,
                                 const std::string& member, std::size_t* missing) {
  Fb2Handler handler(file);
  XmlReader reader(handler, file, member);
  handler.setReader(&reader);
  source([&](std::string_view piece, bool last) { reader.feed(piece, last); });
  return handler.finish(missing);
}

}  // namespace pagora::book_import
