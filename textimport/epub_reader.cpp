// EPUB: the package document named by META-INF/container.xml, its spine read in order, each
// XHTML chapter turned into lines; footnote asides and non-linear chapters go to the end.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "textimport/book_import.h"
#include "textimport/book_writer.h"
#include "textimport/readers.h"
#include "textimport/xml_reader.h"
#include "textimport/zip_book.h"

namespace pagora::book_import {

namespace {

bool HasWord(const char* list, std::string_view word) {
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

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// The member a reference points to, relative to the folder of `from`; empty when it would climb
// out of the archive.
std::string ResolvePath(const std::string& from, std::string_view href) {
  const auto hash = href.find('#');
  if (hash != std::string_view::npos) href = href.substr(0, hash);
  std::string path = PercentDecode(href);
  if (path.empty()) return "";
  std::vector<std::string> parts;
  if (path[0] != '/') {
    const auto slash = from.rfind('/');
    if (slash != std::string::npos) path = from.substr(0, slash + 1) + path;
  }
  std::size_t pos = 0;
  while (pos <= path.size()) {
    auto next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    const std::string part = path.substr(pos, next - pos);
    if (part == "..") {
      if (parts.empty()) return "";
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = next + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

std::string Fragment(const char* href) {
  if (!href) return "";
  std::string_view s(href);
  const auto hash = s.find('#');
  return hash == std::string_view::npos ? "" : std::string(s.substr(hash + 1));
}

std::string TrimNumber(const std::string& win) {
  std::size_t b = 0, e = win.size();
  auto junk = [](char c) {
    return c == ' ' || c == '[' || c == ']' || c == '{' || c == '}' || c == '(' || c == ')';
  };
  while (b < e && junk(win[b])) ++b;
  while (e > b && junk(win[e - 1])) --e;
  return win.substr(b, e - b);
}

// --- META-INF/container.xml ---
class ContainerHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** atts) override {
    if (name != "rootfile") return;
    const char* path = Attribute(atts, "full-path");
    const char* type = Attribute(atts, "media-type");
    if (!path || !*path) return;
    const bool package = type && std::string_view(type) == "application/oebps-package+xml";
    if (rootfile.empty() || (package && !rootfileIsPackage)) {
      rootfile = path;
      rootfileIsPackage = package;
    }
  }
  void End(std::string_view) override {}
  void Chars(std::string_view) override {}

  std::string rootfile;
  bool rootfileIsPackage = false;
};

// --- META-INF/encryption.xml: the members a shop's protection has scrambled ---
class EncryptionHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** atts) override {
    if (name != "CipherReference") return;
    if (const char* uri = Attribute(atts, "URI")) encrypted.insert(ResolvePath("", uri));
  }
  void End(std::string_view) override {}
  void Chars(std::string_view) override {}

  std::set<std::string> encrypted;
};

// --- the package document ---
struct ManifestItem {
  std::string href;
  std::string mediaType;
};

class PackageHandler : public XmlHandler {
 public:
  void Start(std::string_view name, const char** atts) override {
    if (name == "metadata") inMetadata_ = true;
    if (inMetadata_ && (name == "title" || name == "creator")) {
      capturing_ = true;
      capture_.clear();
      return;
    }
    if (name == "item") {
      const char* id = Attribute(atts, "id");
      const char* href = Attribute(atts, "href");
      const char* type = Attribute(atts, "media-type");
      if (id && href) manifest.emplace(id, ManifestItem{href, type ? type : ""});
    } else if (name == "spine") {
      inSpine_ = true;
    } else if (name == "itemref" && inSpine_) {
      const char* idref = Attribute(atts, "idref");
      const char* linear = Attribute(atts, "linear");
      spine.push_back({idref ? idref : "", !(linear && std::string_view(linear) == "no")});
    }
  }
  void End(std::string_view name) override {
    if (capturing_ && (name == "title" || name == "creator")) {
      capturing_ = false;
      const std::string text = PlainWin(capture_);
      if (name == "title" && title.empty()) title = text;
      if (name == "creator" && !text.empty()) creators.push_back(text);
    }
    if (name == "metadata") inMetadata_ = false;
    if (name == "spine") inSpine_ = false;
  }
  void Chars(std::string_view text) override {
    if (capturing_) capture_.append(text);
  }

  struct SpineEntry {
    std::string idref;
    bool linear;
  };
  std::string title;
  std::vector<std::string> creators;
  std::map<std::string, ManifestItem> manifest;
  std::vector<SpineEntry> spine;

 private:
  bool inMetadata_ = false;
  bool inSpine_ = false;
  bool capturing_ = false;
  std::string capture_;
};

// --- XHTML chapters ---
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

HTag HTagOf(std::string_view n) {
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

class ChapterHandler : public XmlHandler {
 public:
  ChapterHandler(BookWriter& w, std::map<std::string, std::string>& noteNumbers, int& noteCount)
      : w_(w), noteNumbers_(noteNumbers), noteCount_(noteCount) {}

  void Start(std::string_view name, const char** atts) override {
    const HTag tag = HTagOf(name);
    const int depth = static_cast<int>(stack_.size());
    stack_.push_back(tag);
    if (skipFrom_ >= 0 || captureFrom_ >= 0) return;
    switch (tag) {
      case HTag::Skip:
        skipFrom_ = depth;
        break;
      case HTag::Heading:
        w_.BlankLine();
        w_.StartLine(LineKind::Title);
        ++headingDepth_;
        break;
      case HTag::Block: {
        // Books converted from FB2 keep its empty lines and stanzas as classes.
        const char* classes = Attribute(atts, "class");
        if (HasWord(classes, "empty-line") || HasWord(classes, "stanza")) w_.BlankLine();
        w_.StartLine(Kind());
        break;
      }
      case HTag::Pre:
        w_.StartLine(Kind());
        ++preDepth_;
        break;
      case HTag::Tr:
        w_.StartLine(LineKind::Paragraph);
        break;
      case HTag::Td:
        w_.CellBreak();
        break;
      case HTag::Br:
        w_.StartLine(Kind());
        break;
      case HTag::Svg:
        skipFrom_ = depth;
        [[fallthrough]];
      case HTag::Img:
        w_.Image();
        break;
      case HTag::A:
        if (HasWord(Attribute(atts, "type"), "noteref") ||
            HasWord(Attribute(atts, "role"), "noteref")) {
          captureFrom_ = depth;
          capture_.clear();
          captureHref_ = Fragment(Attribute(atts, "href"));
        }
        break;
      case HTag::Aside:
        if (HasWord(Attribute(atts, "type"), "footnote") ||
            HasWord(Attribute(atts, "type"), "endnote") ||
            HasWord(Attribute(atts, "type"), "rearnote") ||
            HasWord(Attribute(atts, "role"), "footnote") ||
            HasWord(Attribute(atts, "role"), "endnote")) {
          StartNote(Attribute(atts, "id"), depth);
        } else {
          w_.StartLine(Kind());
        }
        break;
      case HTag::Inline:
        break;
    }
  }

  void End(std::string_view) override {
    const HTag tag = stack_.back();
    stack_.pop_back();
    const int depth = static_cast<int>(stack_.size());
    if (skipFrom_ >= 0) {
      if (depth == skipFrom_) skipFrom_ = -1;
      return;
    }
    if (captureFrom_ >= 0) {
      if (depth == captureFrom_) EndNoteRef();
      return;
    }
    switch (tag) {
      case HTag::Heading:
        w_.EndLine();
        --headingDepth_;
        w_.StartLine(Kind());
        break;
      case HTag::Pre:
        --preDepth_;
        w_.StartLine(Kind());
        break;
      case HTag::Block:
      case HTag::Tr:
        w_.StartLine(Kind());
        break;
      case HTag::Aside:
        if (depth == noteFrom_) {
          noteFrom_ = -1;
          w_.ToNotes(notesChapter_);
        }
        w_.StartLine(Kind());
        break;
      default:
        break;
    }
  }

  void Chars(std::string_view text) override {
    if (skipFrom_ >= 0) return;
    if (captureFrom_ >= 0) {
      capture_.append(text);
      return;
    }
    if (preDepth_ == 0) {
      w_.Text(text);
      return;
    }
    // Preformatted text keeps its line breaks.
    for (;;) {
      const auto nl = text.find('\n');
      w_.Text(text.substr(0, nl));
      if (nl == std::string_view::npos) break;
      w_.StartLine(Kind());
      text.remove_prefix(nl + 1);
    }
  }

  // Chapters outside the linear reading order are notes as a whole.
  void SetNotesChapter(bool notes) { notesChapter_ = notes; }

 private:
  LineKind Kind() const { return headingDepth_ > 0 ? LineKind::Title : LineKind::Paragraph; }

  void EndNoteRef() {
    captureFrom_ = -1;
    std::string number = TrimNumber(PlainWin(capture_));
    if (number.empty()) number = std::to_string(++noteCount_);
    if (!captureHref_.empty()) noteNumbers_.emplace(captureHref_, number);
    w_.WinText("[" + number + "]");
  }

  void StartNote(const char* id, int depth) {
    w_.EndLine();
    noteFrom_ = depth;
    w_.ToNotes(true);
    std::string number;
    if (id) {
      const auto it = noteNumbers_.find(id);
      if (it != noteNumbers_.end()) number = it->second;
    }
    if (number.empty()) number = std::to_string(++noteCount_);
    w_.SetNextPrefix("[" + number + "] ");
  }

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

void ParseMember(ZipBook& zip, std::int64_t index, XmlHandler& handler) {
  XmlReader reader(handler, zip.File(), zip.Name(index));
  zip.Read(index, [&](std::string_view piece, bool last) { reader.Feed(piece, last); });
}

bool IsImageType(const std::string& type) {
  return type.rfind("image/", 0) == 0;
}

}  // namespace

std::vector<std::string> ReadEpub(ZipBook& zip, const std::string& file) {
  auto fail = [&](const std::string& problem) -> EBookImport {
    return EBookImport(file + ": " + problem);
  };
  const std::int64_t containerIndex = zip.Find("META-INF/container.xml");
  if (containerIndex < 0) throw fail("not an EPUB book (META-INF/container.xml is missing)");
  ContainerHandler container;
  ParseMember(zip, containerIndex, container);
  if (container.rootfile.empty())
    throw fail("not an EPUB book (META-INF/container.xml names no package document)");
  const std::string opfPath = ResolvePath("", container.rootfile);
  const std::int64_t opfIndex = opfPath.empty() ? -1 : zip.Find(opfPath);
  if (opfIndex < 0) throw fail("missing package document " + container.rootfile);
  PackageHandler package;
  ParseMember(zip, opfIndex, package);
  if (package.spine.empty()) throw fail("the reading order (spine) of the book is empty");

  EncryptionHandler encryption;
  if (const std::int64_t index = zip.Find("META-INF/encryption.xml"); index >= 0)
    ParseMember(zip, index, encryption);

  // Every chapter is checked before any is read, so a broken book fails at once.
  struct Chapter {
    std::int64_t index;
    bool linear;
    bool image;
  };
  std::vector<Chapter> chapters;
  for (const auto& entry : package.spine) {
    const auto item = package.manifest.find(entry.idref);
    if (item == package.manifest.end())
      throw fail("the reading order names an item the manifest lacks: \"" + entry.idref + "\"");
    const std::string path = ResolvePath(opfPath, item->second.href);
    const std::int64_t index = path.empty() ? -1 : zip.Find(path);
    if (index < 0) throw fail("missing chapter " + (path.empty() ? item->second.href : path));
    if (encryption.encrypted.count(path))
      throw fail("chapter " + path + " is encrypted (copy protection); it cannot be read");
    chapters.push_back({index, entry.linear, IsImageType(item->second.mediaType)});
  }

  BookWriter w;
  if (!package.title.empty()) {
    w.StartLine(LineKind::Title);
    w.WinText(package.title);
  }
  std::string names;
  for (const std::string& c : package.creators) names += (names.empty() ? "" : ", ") + c;
  if (!names.empty()) {
    w.StartLine(LineKind::Title);
    w.WinText(names);
  }
  w.BlankLine();

  std::map<std::string, std::string> noteNumbers;
  int noteCount = 0;
  for (const bool linear : {true, false}) {
    for (const Chapter& chapter : chapters) {
      if (chapter.linear != linear) continue;
      w.ToNotes(!linear);
      w.StartLine(LineKind::Paragraph);
      if (chapter.image) {
        w.Image();
        w.EndLine();
        continue;
      }
      ChapterHandler handler(w, noteNumbers, noteCount);
      handler.SetNotesChapter(!linear);
      ParseMember(zip, chapter.index, handler);
      w.EndLine();
    }
  }
  return w.Finish();
}

}  // namespace pagora::book_import
