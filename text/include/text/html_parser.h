// THTMLParser: a small non-validating HTML tokenizer. It cuts lines of HTML into text runs and
// tags, reports them through events and collects the title, META data and link targets.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pagora {

// Link targets of one document category, split by whether they point to a web server.
struct TLocalRemote {
  std::vector<std::string> Local;
  std::vector<std::string> Remote;
};

// What one or more runs of the parser found. The eight categories, Title, Keyword and
// Description carry over from run to run; the plain lists are cleared at the start of a run.
struct TParsed {
  std::string Title;
  std::string Keyword;
  std::string Description;
  TLocalRemote HTML, Image, Media, Java, ActiveX, ASP, PHP, PERL;
  std::vector<std::string> Hyperlinks;
  std::vector<std::string> Images;
  std::vector<std::string> EMails;
  std::vector<std::string> HTTPlinks;
  std::vector<std::string> FTPlinks;
  std::vector<std::string> Locallinks;
  std::vector<std::string> FramePages;
};

// The pieces of an (upper-cased) link target.
struct TURLParts {
  std::string Protocol;    // text before "://", or "MAILTO:", or "http"
  std::string Path;        // every piece up to and including a "/"
  std::string Document;    // the last piece, before any "?"
  std::string Parameters;  // after the first "?" of the last piece
};

class THTMLParser {
 public:
  THTMLParser() = default;

  // The input, one entry per source line. Callers may fill it directly or assign a list.
  std::vector<std::string> HTML;
  void setHTML(const std::vector<std::string>& lines) { HTML = lines; }

  TParsed& Parsed() { return parsed_; }
  const TParsed& Parsed() const { return parsed_; }

  // Events, each optional, raised synchronously from Execute.
  std::function<void(const std::string& text)> OnFoundText;
  std::function<void(const std::string& tag)> OnFoundTag;
  std::function<void(const std::string& comment)> OnFoundComment;
  std::function<void(const std::string& hyperlink)> OnFoundHyperlink;
  // Raised once for every character of every non-empty line: `lines` is the 1-based number of
  // the line being read, `total` the number of lines in HTML. Keep the handler cheap.
  std::function<void(int lines, int total)> OnParsing;

  // Parses the current contents of HTML once, raising the events in order. Handlers may read the
  // parser but must not change HTML while it runs.
  void Execute();

  // Title state, kept from one run to the next: a title opened and not closed sends every
  // text run of the following runs to the title text until its closing tag arrives.
  bool inTitle() const { return inTitle_; }
  const std::string& titleText() const { return titleText_; }
  const std::string& awaitedClosingTag() const { return awaitedEnd_; }  // "/TITLE" or ""

  // The attribute text of the first case-insensitive occurrence of `name` anywhere in `tag`,
  // through the space (outside quotes), ">" or last character that ends it; "" if none.
  static std::string FindAttribute(std::string_view tag, std::string_view name);
  // The value part of an attribute text: after the first "=", reduced to the text between the
  // first two double quotes when it holds one.
  static std::string AttributeValue(std::string_view attribute);
  // FindAttribute then AttributeValue.
  static std::string attribute(std::string_view tag, std::string_view name);
  // Splits an upper-cased link target into protocol, path, document and parameters.
  static TURLParts SplitURL(std::string_view upperUrl);
  // From the last "." of a document name on ("\" and ":" end the search); "" without a dot.
  static std::string extension(std::string_view document);

 private:
  void ProcessText(std::string& run);
  void ProcessTag(std::string tag);
  void analyseAnchor(const std::string& tag);

  TParsed parsed_;
  bool inTitle_ = false;
  std::string titleText_;
  std::string awaitedEnd_;
};

}  // namespace pagora
