// EPUB: the package document named by META-INF/container.xml, its spine read in order, each
// XHTML chapter turned into lines; footnote asides and non-linear chapters go to the end.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "html_text_handler.h"
#include "textimport/book_import.h"
#include "textimport/book_writer.h"
#include "textimport/readers.h"
#include "textimport/xml_reader.h"
#include "textimport/zip_book.h"

namespace pagora::book_import {

namespace {

std::string percentDecode(std::string_view s) {
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
std::string resolvePath(const std::string& from, std::string_view href) {
  const auto hash = href.find('#');
  if (hash != std::string_view::npos) href = href.substr(0, hash);
  std::string path = percentDecode(href);
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

// --- META-INF/container.xml ---
class ContainerHandler : public XmlHandler {
 public:
  void start(std::string_view name, const char** atts) override {
    if (name != "rootfile") return;
    const char* path = attribute(atts, "full-path");
    const char* type = attribute(atts, "media-type");
    if (!path || !*path) return;
    const bool package = type && std::string_view(type) == "application/oebps-package+xml";
    if (rootfile.empty() || (package && !rootfileIsPackage)) {
      rootfile = path;
      rootfileIsPackage = package;
    }
  }
  void end(std::string_view) override {}
  void chars(std::string_view) override {}

  std::string rootfile;
  bool rootfileIsPackage = false;
};

// --- META-INF/encryption.xml: the members a shop's protection has scrambled ---
class EncryptionHandler : public XmlHandler {
 public:
  void start(std::string_view name, const char** atts) override {
    if (name != "CipherReference") return;
    if (const char* uri = attribute(atts, "URI")) encrypted.insert(resolvePath("", uri));
  }
  void end(std::string_view) override {}
  void chars(std::string_view) override {}

  std::set<std::string> encrypted;
};

// --- the package document ---
struct ManifestItem {
  std::string href;
  std::string mediaType;
};

class PackageHandler : public XmlHandler {
 public:
  void start(std::string_view name, const char** atts) override {
    if (name == "metadata") inMetadata_ = true;
    if (inMetadata_ && (name == "title" || name == "creator")) {
      capturing_ = true;
      capture_.clear();
      return;
    }
    if (name == "item") {
      const char* id = attribute(atts, "id");
      const char* href = attribute(atts, "href");
      const char* type = attribute(atts, "media-type");
      if (id && href) manifest.emplace(id, ManifestItem{href, type ? type : ""});
    } else if (name == "spine") {
      inSpine_ = true;
    } else if (name == "itemref" && inSpine_) {
      const char* idref = attribute(atts, "idref");
      const char* linear = attribute(atts, "linear");
      spine.push_back({idref ? idref : "", !(linear && std::string_view(linear) == "no")});
    }
  }
  void end(std::string_view name) override {
    if (capturing_ && (name == "title" || name == "creator")) {
      capturing_ = false;
      const std::string text = plainWin(capture_, &missing);
      if (name == "title" && title.empty()) title = text;
      if (name == "creator" && !text.empty()) creators.push_back(text);
    }
    if (name == "metadata") inMetadata_ = false;
    if (name == "spine") inSpine_ = false;
  }
  void chars(std::string_view text) override {
    if (capturing_) capture_.append(text);
  }

  struct SpineEntry {
    std::string idref;
    bool linear;
  };
  std::string title;
  std::vector<std::string> creators;
  std::size_t missing = 0;  // characters of the title and creators that became "?"
  std::map<std::string, ManifestItem> manifest;
  std::vector<SpineEntry> spine;

 private:
  bool inMetadata_ = false;
  bool inSpine_ = false;
  bool capturing_ = false;
  std::string capture_;
};

void parseMember(ZipBook& zip, std::int64_t index, XmlHandler& handler) {
  XmlReader reader(handler, zip.file(), zip.name(index));
  zip.read(index, [&](std::string_view piece, bool last) { reader.feed(piece, last); });
}

bool isImageType(const std::string& type) {
  return type.rfind("image/", 0) == 0;
}

}  // namespace

std::vector<std::string> readEpub(ZipBook& zip, const std::string& file, std::size_t* missing) {
  auto fail = [&](const std::string& problem) -> EBookImport {
    return EBookImport(file + ": " + problem);
  };
  const std::int64_t containerIndex = zip.find("META-INF/container.xml");
  if (containerIndex < 0) throw fail("not an EPUB book (META-INF/container.xml is missing)");
  ContainerHandler container;
  parseMember(zip, containerIndex, container);
  if (container.rootfile.empty())
    throw fail("not an EPUB book (META-INF/container.xml names no package document)");
  const std::string opfPath = resolvePath("", container.rootfile);
  const std::int64_t opfIndex = opfPath.empty() ? -1 : zip.find(opfPath);
  if (opfIndex < 0) throw fail("missing package document " + container.rootfile);
  PackageHandler package;
  parseMember(zip, opfIndex, package);
  if (package.spine.empty()) throw fail("the reading order (spine) of the book is empty");

  EncryptionHandler encryption;
  if (const std::int64_t index = zip.find("META-INF/encryption.xml"); index >= 0)
    parseMember(zip, index, encryption);

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
    const std::string path = resolvePath(opfPath, item->second.href);
    const std::int64_t index = path.empty() ? -1 : zip.find(path);
    if (index < 0) throw fail("missing chapter " + (path.empty() ? item->second.href : path));
    if (encryption.encrypted.count(path))
      throw fail("chapter " + path + " is encrypted (copy protection); it cannot be read");
    chapters.push_back({index, entry.linear, isImageType(item->second.mediaType)});
  }

  BookWriter w;
  if (!package.title.empty()) {
    w.startLine(LineKind::Title);
    w.winText(package.title);
  }
  std::string names;
  for (const std::string& c : package.creators) names += (names.empty() ? "" : ", ") + c;
  if (!names.empty()) {
    w.startLine(LineKind::Title);
    w.winText(names);
  }
  w.blankLine();

  std::map<std::string, std::string> noteNumbers;
  int noteCount = 0;
  for (const bool linear : {true, false}) {
    for (const Chapter& chapter : chapters) {
      if (chapter.linear != linear) continue;
      w.toNotes(!linear);
      w.startLine(LineKind::Paragraph);
      if (chapter.image) {
        w.imagePlaceholder();
        w.endLine();
        continue;
      }
      HtmlTextHandler handler(w, noteNumbers, noteCount);
      handler.setNotesChapter(!linear);
      parseMember(zip, chapter.index, handler);
      w.endLine();
    }
  }
  if (missing) *missing = package.missing + w.missing();
  return w.finish();
}

}  // namespace pagora::book_import
