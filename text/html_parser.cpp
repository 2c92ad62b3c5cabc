// THTMLParser: cuts lines of HTML into text runs and tags and collects metadata and link targets.
#include "text/html_parser.h"

#include <algorithm>
#include <cstring>

namespace pagora {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

bool equalsAny(std::string_view s, std::initializer_list<std::string_view> options) {
  return std::find(options.begin(), options.end(), s) != options.end();
}

// Position of the first case-insensitive (ASCII) occurrence of `needle`.
std::size_t findNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > haystack.size()) return std::string_view::npos;
  const std::string upperNeedle = upper(needle);
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size()) {
      char c = haystack[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != upperNeedle[k]) break;
      ++k;
    }
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string THTMLParser::FindAttribute(std::string_view tag, std::string_view name) {
  const std::size_t start = findNoCase(tag, name);
  if (start == std::string_view::npos || tag.empty()) return {};
  bool quoted = false;
  std::size_t stop = tag.size() - 1;
  for (std::size_t i = start; i < tag.size(); ++i) {
    const char c = tag[i];
    if (c == '"') quoted = !quoted;
    if ((c == ' ' && !quoted) || c == '>' || i == tag.size() - 1) {
      stop = i;
      break;
    }
  }
  return std::string(tag.substr(start, stop - start + 1));
}

std::string THTMLParser::AttributeValue(std::string_view attribute) {
  const std::size_t eq = attribute.find('=');
  std::string_view value = eq == std::string_view::npos ? attribute : attribute.substr(eq + 1);
  const std::size_t open = value.find('"');
  if (open != std::string_view::npos) {
    const std::size_t close = value.find('"', open + 1);
    value = value.substr(
        open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  }
  return std::string(value);
}

std::string THTMLParser::attribute(std::string_view tag, std::string_view name) {
  return AttributeValue(FindAttribute(tag, name));
}

TURLParts THTMLParser::SplitURL(std::string_view url) {
  TURLParts parts;
  if (url.empty()) return parts;
  std::string_view rest = url;
  const std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) {
    parts.Protocol = std::string(url.substr(0, scheme));
    rest = url.substr(scheme + 3);
  } else if (contains(url, "MAILTO:")) {
    parts.Protocol = "MAILTO:";
    rest = url.substr(std::min<std::size_t>(7, url.size()));
  } else {
    parts.Protocol = "http";
  }
  for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
    parts.Path.append(rest.substr(0, slash + 1));
    rest = rest.substr(slash + 1);
  }
  if (rest.find('.') == std::string_view::npos) {
    parts.Path.append(rest);
    if (parts.Path.empty() || parts.Path.back() != '/') parts.Path.push_back('/');
    return parts;
  }
  const std::size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    parts.Document = std::string(rest.substr(0, question));
    parts.Parameters = std::string(rest.substr(question + 1));
  } else {
    parts.Document = std::string(rest);
  }
  return parts;
}

std::string THTMLParser::extension(std::string_view document) {
  const std::size_t last = document.find_last_of(".\\:");
  if (last == std::string_view::npos || document[last] != '.') return {};
  return std::string(document.substr(last));
}

void THTMLParser::Execute() {
  parsed_.Hyperlinks.clear();
  parsed_.Images.clear();
  parsed_.EMails.clear();
  parsed_.HTTPlinks.clear();
  parsed_.FTPlinks.clear();
  parsed_.Locallinks.clear();
  parsed_.FramePages.clear();

  std::string text;
  std::string tagBuffer;
  bool inTag = false;
  const int total = static_cast<int>(std::min<std::size_t>(HTML.size(), 0x7FFFFFFF));
  // Handlers may change the parser's own fields; take the progress handler once per run.
  const std::function<void(int, int)> progress = OnParsing;
  for (int n = 1; n <= total; ++n) {
    const std::string& line = HTML[static_cast<std::size_t>(n - 1)];
    if (line.empty()) continue;
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end) {
      // Ordinary characters raise no event of their own, so a run of them is taken at once
      // (each still raises its progress event, in order, before the next bracket is handled).
      const char* stop = static_cast<const char*>(
          std::memchr(p, inTag ? '>' : '<', static_cast<std::size_t>(end - p)));
      if (stop == nullptr) stop = end;
      if (stop > p) {
        if (progress) {
          for (const char* q = p; q < stop; ++q) progress(n, total);
        }
        (inTag ? tagBuffer : text).append(p, stop);
        p = stop;
        continue;
      }
      if (progress) progress(n, total);
      if (!inTag) {  // *p == '<'
        if (!text.empty()) {
          ProcessText(text);
          text.clear();
        }
        inTag = true;
        tagBuffer.push_back('<');
      } else {  // *p == '>'
        const std::size_t open = tagBuffer.rfind('<');
        std::string tag = open == std::string::npos ? tagBuffer : tagBuffer.substr(open + 1);
        tagBuffer.clear();
        inTag = false;
        ProcessTag(std::move(tag));
      }
      ++p;
    }
    text.append("\r\n");
  }
  if (!text.empty()) ProcessText(text);
}

void THTMLParser::ProcessText(std::string& run) {
  if (inTitle_) {
    titleText_ = run;
  } else if (OnFoundText) {
    OnFoundText(run);
  }
}

void THTMLParser::ProcessTag(std::string tag) {
  if (inTitle_ && !contains(upper(tag), awaitedEnd_)) {
    titleText_.push_back('<');
    titleText_.append(tag);
    titleText_.push_back('>');
    return;
  }
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t first = 0;
  std::size_t last = tag.size();
  while (first < last && blank(tag[first])) ++first;
  while (last > first && blank(tag[last - 1])) --last;
  tag = tag.substr(first, last - first);

  if (!contains(tag, "!--") && OnFoundTag) OnFoundTag(tag);

  const std::string name = upper(std::string_view(tag).substr(0, tag.find(' ')));
  if (name == "A") {
    analyseAnchor(tag);
  } else if (name == "IMG") {
    parsed_.Images.push_back(attribute(tag, "src"));
  } else if (name == "FRAME") {
    parsed_.FramePages.push_back(attribute(tag, "src"));
  } else if (name == "META") {
    const std::string metaName = upper(attribute(tag, "name"));
    if (metaName == "KEYWORD") {
      parsed_.Keyword = attribute(tag, "content");
    } else if (metaName == "DESCRIPTION") {
      parsed_.Description = attribute(tag, "content");
    }
  } else if (name == "!--") {
    if (OnFoundComment) OnFoundComment(tag.size() >= 7 ? tag.substr(4, tag.size() - 7) : "");
  } else if (name == "TITLE") {
    inTitle_ = true;
    awaitedEnd_ = "/TITLE";
  } else if (name == "/TITLE") {
    inTitle_ = false;
    awaitedEnd_.clear();
    parsed_.Title = titleText_;
    titleText_.clear();
  }
}

void THTMLParser::analyseAnchor(const std::string& tag) {
  const std::string h = attribute(tag, "href");
  const std::string H = upper(h);
  const std::string ext = extension(SplitURL(H).Document);
  const bool remote = contains(H, "HTTP://");

  TLocalRemote* category = nullptr;
  if (contains(ext, "HTM")) {
    category = &parsed_.HTML;
  } else if (equalsAny(ext, {".JPG", ".JPEG", ".GIF", ".TIF", ".PCX", ".PNG", ".BMP"})) {
    category = &parsed_.Image;
  } else if (equalsAny(ext, {".AVI", ".MP3", ".AU", ".MOV", ".MPG", ".MPEG"})) {
    category = &parsed_.Media;
  } else if (equalsAny(ext, {".JS", ".CLASS", ".JAVA"})) {
    category = &parsed_.Java;
  } else if (ext == ".ASP") {
    category = &parsed_.ASP;
  } else if (equalsAny(ext, {".PL", ".CGI"})) {
    category = &parsed_.PERL;
  } else if (contains(ext, "PHP")) {
    category = &parsed_.PHP;
  } else if (ext == ".CAB") {
    category = &parsed_.ActiveX;
  }
  if (category != nullptr) (remote ? category->Remote : category->Local).push_back(h);

  if (contains(H, "MAILTO:")) {
    parsed_.EMails.push_back(h.substr(std::min<std::size_t>(7, h.size())));
  } else if (contains(H, "FTP://")) {
    parsed_.FTPlinks.push_back(h);
  } else if (contains(H, "HTTP://")) {
    parsed_.HTTPlinks.push_back(h);
  } else if (!contains(H, "://")) {
    parsed_.Locallinks.push_back(h);
  } else if (OnFoundHyperlink) {
    OnFoundHyperlink(h);
  }
  parsed_.Hyperlinks.push_back(h);
}

}  // namespace pagora
