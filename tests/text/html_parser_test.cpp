// THTMLParser: event sequences for tricky markup, title state across runs, attributes, links.
#include "text/html_parser.h"

#include <gtest/gtest.h>

namespace pagora {
namespace {

using Lines = std::vector<std::string>;

// Runs a parser over `html` and returns its events as "text:...", "tag:...", "comment:...",
// "link:..." in the order they came.
Lines parserEvents(THTMLParser& parser, const Lines& html) {
  Lines events;
  parser.OnFoundText = [&](const std::string& s) { events.push_back("text:" + s); };
  parser.OnFoundTag = [&](const std::string& s) { events.push_back("tag:" + s); };
  parser.OnFoundComment = [&](const std::string& s) { events.push_back("comment:" + s); };
  parser.OnFoundHyperlink = [&](const std::string& s) { events.push_back("link:" + s); };
  parser.setHTML(html);
  parser.Execute();
  return events;
}

Lines parserEvents(const Lines& html) {
  THTMLParser parser;
  return parserEvents(parser, html);
}

TEST(HtmlParser, EventSequences) {
  struct Case {
    const char* what;
    Lines html;
    Lines events;
  } cases[] = {
      {"no tags: one run after the last line", {"one", "two"}, {"text:one\r\ntwo\r\n"}},
      {"text, tag, text", {"a<b>c"}, {"text:a", "tag:b", "text:c\r\n"}},
      {"empty lines vanish", {"p1", "", "", "p2"}, {"text:p1\r\np2\r\n"}},
      {"no input", {}, {}},
      {"only empty lines", {"", ""}, {}},
      {"a tag across lines is joined without a separator",
       {"x<a", "href=y>z"},
       {"text:x", "tag:ahref=y", "text:\r\nz\r\n"}},
      {"an unclosed tag is dropped, its line break stays text", {"a<b c"}, {"text:a", "text:\r\n"}},
      {"of two openings only the second tag counts",
       {"x<a<b>y"},
       {"text:x", "tag:b", "text:y\r\n"}},
      {"a closing bracket outside a tag is text", {"a>b"}, {"text:a>b\r\n"}},
      {"tag text is trimmed", {"< p \t>"}, {"tag:p", "text:\r\n"}},
      {"a comment with spaces", {"<!-- note -->"}, {"comment:note", "text:\r\n"}},
      {"a comment without the space is silent", {"<!--note-->x"}, {"text:x\r\n"}},
      {"a comment ends at its first closing bracket",
       {"<!-- a > b -->"},
       {"comment:", "text: b -->\r\n"}},
      {"entities pass as written", {"a&nbsp;b&amp;"}, {"text:a&nbsp;b&amp;\r\n"}},
      {"script content is text, a bracket in it opens a tag",
       {"<script>if (a<b) x=1;</script>"},
       {"tag:script", "text:if (a", "tag:/script", "text:\r\n"}},
      {"the title is no text",
       {"<title>Book</title>after"},
       {"tag:title", "tag:/title", "text:after\r\n"}},
      {"a link with an unknown protocol",
       {"<a href=\"news://host/x\">n</a>"},
       {"tag:a href=\"news://host/x\"", "link:news://host/x", "text:n", "tag:/a", "text:\r\n"}},
  };
  for (const Case& c : cases) EXPECT_EQ(parserEvents(c.html), c.events) << c.what;
}

TEST(HtmlParser, TitleTextAndState) {
  THTMLParser parser;
  parserEvents(parser, {"<title>Book</title>"});
  EXPECT_EQ(parser.Parsed().Title, "Book");
  EXPECT_FALSE(parser.inTitle());

  // Inside a title a tag is added to the title text, and a later text run replaces it all.
  THTMLParser inner;
  parserEvents(inner, {"<title>a<b>c"});
  EXPECT_EQ(inner.titleText(), "c\r\n");
  parserEvents(inner, {"<title>a<b>"});
  EXPECT_EQ(inner.titleText(), "\r\n");
  parserEvents(inner, {"c</title>"});
  EXPECT_EQ(inner.Parsed().Title, "c");
}

TEST(HtmlParser, TitleOutlivesARun) {
  THTMLParser parser;
  EXPECT_EQ(parserEvents(parser, {"<title>Part"}), Lines{"tag:title"});
  EXPECT_TRUE(parser.inTitle());
  EXPECT_EQ(parser.awaitedClosingTag(), "/TITLE");
  EXPECT_EQ(parser.titleText(), "Part\r\n");
  EXPECT_EQ(parser.Parsed().Title, "");

  // The next run starts inside the title: its text goes there until the closing tag.
  EXPECT_EQ(parserEvents(parser, {"more", "</TITLE>rest"}), (Lines{"tag:/TITLE", "text:rest\r\n"}));
  EXPECT_FALSE(parser.inTitle());
  EXPECT_EQ(parser.awaitedClosingTag(), "");
  EXPECT_EQ(parser.Parsed().Title, "more\r\n");
  EXPECT_EQ(parser.titleText(), "");
}

TEST(HtmlParser, ProgressOncePerCharacterOfNonEmptyLines) {
  THTMLParser parser;
  std::vector<std::pair<int, int>> calls;
  parser.OnParsing = [&](int line, int total) { calls.emplace_back(line, total); };
  parser.setHTML({"a<b>", "", "c"});
  parser.Execute();
  const std::vector<std::pair<int, int>> expected = {{1, 3}, {1, 3}, {1, 3}, {1, 3}, {3, 3}};
  EXPECT_EQ(calls, expected);
}

TEST(HtmlParser, ProgressComesBeforeTheCharacterIsHandled) {
  THTMLParser parser;
  Lines log;
  parser.OnParsing = [&](int, int) { log.push_back("p"); };
  parser.OnFoundText = [&](const std::string& s) { log.push_back("text:" + s); };
  parser.OnFoundTag = [&](const std::string& s) { log.push_back("tag:" + s); };
  parser.setHTML({"ab<i>"});
  parser.Execute();
  EXPECT_EQ(log, (Lines{"p", "p", "p", "text:ab", "p", "p", "tag:i", "text:\r\n"}));
}

TEST(HtmlParser, AttributeReading) {
  struct Case {
    const char* tag;
    const char* name;
    const char* attribute;
    const char* value;
  } cases[] = {
      {"a href=\"x.htm\" target=_top", "href", "href=\"x.htm\" ", "x.htm"},
      {"a href=x.htm target=_top", "href", "href=x.htm ", "x.htm "},  // keeps the ending space
      {"a href=x.htm", "href", "href=x.htm", "x.htm"},
      {"a HREF=\"a b.htm\"", "href", "HREF=\"a b.htm\"", "a b.htm"},
      {"a href=\"open", "href", "href=\"open", "open"},
      {"a title=x", "href", "", ""},
      {"img alt=src src=p.gif", "src", "src ",
       "src "},                            // the first occurrence wins, even in a value
      {"a href", "href", "href", "href"},  // no "=": the whole text
      {"a href=>", "href", "href=>", ">"},
      {"", "href", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(THTMLParser::FindAttribute(c.tag, c.name), c.attribute) << c.tag;
    EXPECT_EQ(THTMLParser::AttributeValue(THTMLParser::FindAttribute(c.tag, c.name)), c.value)
        << c.tag;
  }
}

TEST(HtmlParser, SplitUrl) {
  struct Case {
    const char* url;
    TURLParts parts;
  } cases[] = {
      {"HTTP://WWW.X.RU/A/B/DOC.HTML?Q=1", {"HTTP", "WWW.X.RU/A/B/", "DOC.HTML", "Q=1"}},
      {"FTP://HOST/PUB/", {"FTP", "HOST/PUB/", "", ""}},
      {"HTTP://WWW.X.RU", {"HTTP", "", "WWW.X.RU", ""}},
      {"MAILTO:IVAN@MAIL.RU", {"MAILTO:", "", "IVAN@MAIL.RU", ""}},
      {"DIR/SUB", {"http", "DIR/SUB/", "", ""}},
      {"INDEX.HTM", {"http", "", "INDEX.HTM", ""}},
      {"PAGE?X=1.5", {"http", "", "PAGE", "X=1.5"}},
      {"", {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    const TURLParts p = THTMLParser::SplitURL(c.url);
    EXPECT_EQ(p.Protocol, c.parts.Protocol) << c.url;
    EXPECT_EQ(p.Path, c.parts.Path) << c.url;
    EXPECT_EQ(p.Document, c.parts.Document) << c.url;
    EXPECT_EQ(p.Parameters, c.parts.Parameters) << c.url;
  }
  EXPECT_EQ(THTMLParser::extension("A.B.HTML"), ".HTML");
  EXPECT_EQ(THTMLParser::extension("DIR.X\\FILE"), "");
  EXPECT_EQ(THTMLParser::extension("NODOT"), "");
}

TEST(HtmlParser, AnchorCategories) {
  struct Case {
    const char* tag;
    TLocalRemote TParsed::*category;  // nullptr: none
    bool remote;
    std::vector<std::string> TParsed::*list;  // nullptr: OnFoundHyperlink
    const char* listed;
  } cases[] = {
      {"a href=\"page.htm\"", &TParsed::HTML, false, &TParsed::Locallinks, "page.htm"},
      {"a href=\"http://x.ru/p/index.html\"", &TParsed::HTML, true, &TParsed::HTTPlinks,
       "http://x.ru/p/index.html"},
      {"A HREF=\"HTTP://X.RU/PIC.JPG\"", &TParsed::Image, true, &TParsed::HTTPlinks,
       "HTTP://X.RU/PIC.JPG"},
      {"a href=\"ftp://x.ru/f.mp3\"", &TParsed::Media, false, &TParsed::FTPlinks,
       "ftp://x.ru/f.mp3"},
      {"a href=\"mailto:ivan@mail.com\"", nullptr, false, &TParsed::EMails, "ivan@mail.com"},
      {"a href=\"news://x/y.js\"", &TParsed::Java, false, nullptr, "news://x/y.js"},
      {"a href=\"x.asp\"", &TParsed::ASP, false, &TParsed::Locallinks, "x.asp"},
      {"a href=\"x.cgi?a=1\"", &TParsed::PERL, false, &TParsed::Locallinks, "x.cgi?a=1"},
      {"a href=\"index.php3\"", &TParsed::PHP, false, &TParsed::Locallinks, "index.php3"},
      {"a href=\"setup.cab\"", &TParsed::ActiveX, false, &TParsed::Locallinks, "setup.cab"},
      {"a href=\"clip.mpeg\"", &TParsed::Media, false, &TParsed::Locallinks, "clip.mpeg"},
      {"a href=\"dir/\"", nullptr, false, &TParsed::Locallinks, "dir/"},
      {"a name=top", nullptr, false, &TParsed::Locallinks, ""},
      {"a href=page.htm target=_top", &TParsed::HTML, false, &TParsed::Locallinks, "page.htm "},
  };
  TLocalRemote TParsed::*all[] = {&TParsed::HTML, &TParsed::Image,   &TParsed::Media,
                                  &TParsed::Java, &TParsed::ActiveX, &TParsed::ASP,
                                  &TParsed::PHP,  &TParsed::PERL};
  std::vector<std::string> TParsed::*lists[] = {&TParsed::EMails, &TParsed::HTTPlinks,
                                                &TParsed::FTPlinks, &TParsed::Locallinks};
  for (const Case& c : cases) {
    THTMLParser parser;
    const Lines events = parserEvents(parser, {std::string("<") + c.tag + ">"});
    const TParsed& p = parser.Parsed();
    std::string target = c.listed;
    if (c.list == &TParsed::EMails) target = std::string("mailto:") + c.listed;
    EXPECT_EQ(p.Hyperlinks, Lines{target}) << c.tag;
    for (auto category : all) {
      const TLocalRemote& lr = p.*category;
      const bool chosen = category == c.category;
      EXPECT_EQ(lr.Local, chosen && !c.remote ? Lines{target} : Lines{}) << c.tag;
      EXPECT_EQ(lr.Remote, chosen && c.remote ? Lines{target} : Lines{}) << c.tag;
    }
    for (auto list : lists) {
      EXPECT_EQ(p.*list, list == c.list ? Lines{c.listed} : Lines{}) << c.tag;
    }
    const bool reported = std::find(events.begin(), events.end(), "link:" + target) != events.end();
    EXPECT_EQ(reported, c.list == nullptr) << c.tag;
  }
}

TEST(HtmlParser, MetaImagesFramesAndWhatCarriesOver) {
  THTMLParser parser;
  parserEvents(parser, {"<meta name=\"Keyword\" content=\"war, peace\">",
                        "<META NAME=\"description\" CONTENT=\"A novel\">",
                        "<meta name=keyword content=\"unquoted names keep their space\">",
                        "<meta name=\"keywords\" content=\"ignored\">",
                        "<img src=\"cover.jpg\" alt=x><frame src=left.htm>", "<a href=\"a.htm\">"});
  EXPECT_EQ(parser.Parsed().Keyword, "war, peace");
  EXPECT_EQ(parser.Parsed().Description, "A novel");
  EXPECT_EQ(parser.Parsed().Images, Lines{"cover.jpg"});
  EXPECT_EQ(parser.Parsed().FramePages, Lines{"left.htm"});
  EXPECT_EQ(parser.Parsed().HTML.Local, Lines{"a.htm"});

  // A second run clears the plain lists but keeps the categories and the metadata.
  parserEvents(parser, {"<a href=\"b.htm\">"});
  EXPECT_EQ(parser.Parsed().Images, Lines{});
  EXPECT_EQ(parser.Parsed().FramePages, Lines{});
  EXPECT_EQ(parser.Parsed().Locallinks, Lines{"b.htm"});
  EXPECT_EQ(parser.Parsed().Hyperlinks, Lines{"b.htm"});
  EXPECT_EQ(parser.Parsed().HTML.Local, (Lines{"a.htm", "b.htm"}));
  EXPECT_EQ(parser.Parsed().Keyword, "war, peace");
}

}  // namespace
}  // namespace pagora
