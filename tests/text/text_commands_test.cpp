// The view window's clean-up commands on the texts a user brings.
#include "text/text_commands.h"

#include <gtest/gtest.h>

namespace pagora {
namespace {

const std::string kEmpty = "\xCF\xF3\xF1\xF2\xEE";  // "Пусто" in code page 1251

TEST(RecodeLines, ConvertsEveryLineAndReportsEveryHundredLines) {
  TextBuffer lines(250, std::string("\xE0\x80", 2));
  std::vector<std::pair<int, int>> calls;
  recodeLines(lines, Recoding::DosToWin, [&](int pos, int max) { calls.emplace_back(pos, max); });
  EXPECT_EQ(lines, TextBuffer(250, std::string("\xF0\xC0", 2)));
  EXPECT_EQ(calls,
            (std::vector<std::pair<int, int>>{{0, 249}, {100, 249}, {200, 249}, {249, 249}}));

  // Converting twice maps the converted text again: р becomes Ё.
  recodeLines(lines, Recoding::DosToWin);
  EXPECT_EQ(lines[0], std::string("\xA8\xC0", 2));

  TextBuffer koi{"\xF0\xD2\xC9\xD7\xC5\xD4", ""};
  recodeLines(koi, Recoding::KoiToWin);
  EXPECT_EQ(koi, (TextBuffer{"\xCF\xF0\xE8\xE2\xE5\xF2", ""}));
  TextBuffer utf8{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"};
  recodeLines(utf8, Recoding::Utf8ToWin);
  EXPECT_EQ(utf8, TextBuffer{"\xCF\xF0\xE8\xE2\xE5\xF2"});
  TextBuffer none;
  recodeLines(none, Recoding::KoiToWin, [](int, int) { ADD_FAILURE() << "no lines, no progress"; });
}

TEST(DeleteHtmlTags, Examples) {
  struct Case {
    const char* what;
    TextBuffer in, out;
  } cases[] = {
      {"each tag ends an output line", {"word <b>second</b>."}, {"word ", "second", "."}},
      {"no tags: non-empty lines stay", {"a", "", "b"}, {"a", "b"}},
      {"only tags: the breaks after them are text", {"<p>", "<br>"}, {"", ""}},
      {"no text run at all", {}, {kEmpty}},
      {"empty lines only", {"", ""}, {kEmpty}},
      {"a tag-only line leaves an empty line", {"one", "<hr>", "two"}, {"one", "", "two"}},
      {"title text is not kept", {"<title>T</title>body"}, {"body"}},
      {"comments disappear", {"a<!-- c -->b"}, {"a", "b"}},
      {"script content stays", {"<script>var x;</script>"}, {"var x;", ""}},
      {"only lower-case &nbsp; becomes a space",
       {"a&nbsp;&nbsp;b&NBSP;c&Nbsp;"},
       {"a  b&NBSP;c&Nbsp;"}},
      {"no rescanning of replaced text", {"&&nbsp;nbsp;"}, {"& nbsp;"}},
  };
  for (const Case& c : cases) {
    TextBuffer lines = c.in;
    deleteHtmlTags(lines);
    EXPECT_EQ(lines, c.out) << c.what;
  }
}

TEST(DeleteHtmlTags, SplitsRunsAtEveryLineEnd) {
  struct Case {
    std::string run;
    TextBuffer lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\na", {"", "a"}},
      {"\r\n", {""}},
      {"a\rb\nc\r\n\r\nd", {"a", "b", "c", "", "d"}},
      {"x&nbsp;\n&nbsp;", {"x ", " "}},
  };
  for (const Case& c : cases) {
    TextBuffer out{"kept"};
    appendTextRunLines(c.run, out);
    TextBuffer expected{"kept"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(out, expected) << testing::PrintToString(c.run);
  }
}

TEST(DeleteHtmlTags, WindowParserKeepsItsTitleStateAndHandlers) {
  THTMLParser parser;
  int windowHandlerCalls = 0;
  parser.OnFoundText = [&](const std::string&) { ++windowHandlerCalls; };
  TextBuffer first{"<title>x"};
  deleteHtmlTags(first, parser);
  EXPECT_EQ(first, TextBuffer{kEmpty});
  EXPECT_TRUE(parser.inTitle());

  TextBuffer second{"abc</title>def"};
  int progressCalls = 0;
  deleteHtmlTags(second, parser, [&](int line, int total) {
    EXPECT_EQ(line, 1);
    EXPECT_EQ(total, 1);
    ++progressCalls;
  });
  EXPECT_EQ(second, TextBuffer{"def"});
  EXPECT_EQ(parser.Parsed().Title, "abc");
  EXPECT_EQ(progressCalls, 14);
  EXPECT_EQ(windowHandlerCalls, 0);
  ASSERT_TRUE(parser.OnFoundText);
  parser.OnFoundText("x");
  EXPECT_EQ(windowHandlerCalls, 1) << "the window's own handler is back";
  EXPECT_FALSE(parser.OnParsing);
}

TEST(DeleteHtmlTags, AFailingProgressHandlerLeavesTheText) {
  TextBuffer lines{"<b>keep</b>", "me"};
  EXPECT_THROW(deleteHtmlTags(lines, [](int, int) { throw std::runtime_error("stop"); }),
               std::runtime_error);
  EXPECT_EQ(lines, (TextBuffer{"<b>keep</b>", "me"}));
}

TEST(OneParagraphOneLine, Examples) {
  struct Case {
    const char* what;
    TextBuffer in, out;
  } cases[] = {
      {"two paragraphs", {"a", "b", "", "c", "d"}, {" a b", "  c d"}},
      {"one line", {"x"}, {" x"}},
      {"empty text", {}, {}},
      {"indented lines each start a paragraph", {"  a", "  b", "  c"}, {"   a", "   b", "   c"}},
      {"two empty lines leave a line of one space", {"a", "", "", "c"}, {" a", " ", "  c"}},
      {"a single space does not start a paragraph", {"a", " ", "b"}, {" a   b"}},
      {"a leading empty line joins the first paragraph", {"", "a"}, {"  a"}},
      {"an empty last line", {"a", ""}, {" a", " "}},
  };
  for (const Case& c : cases) {
    TextBuffer lines = c.in;
    oneParagraphOneLine(lines);
    EXPECT_EQ(lines, c.out) << c.what;
  }
}

TEST(OneParagraphOneLine, ProgressUsesTheWindowsGaugeMaximum) {
  TextBuffer lines(102, "x");
  std::vector<std::pair<int, int>> calls;
  oneParagraphOneLine(lines, [&](int pos, int max) { calls.emplace_back(pos, max); });
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 100}, {100, 100}}));
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 204u);
}

TEST(CollapseSpaces, Examples) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {" ", ""},
      {"    ", ""},
      {"a  b", "a b"},
      {"a     b", "a b"},
      {"a b", "a b"},
      {"a   ", "a"},
      {"   a", " a"},
      {"a ", "a"},
      {"a\t\tb", "a\t\tb"},
      {"a \t b", "a \t b"},
      {" a  b  c ", " a b c"},
  };
  TextBuffer lines;
  for (const Case& c : cases) {
    EXPECT_EQ(collapseSpacesInLine(c.in), c.out) << '"' << c.in << '"';
    lines.push_back(c.in);
  }
  collapseSpaces(lines);
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i], cases[i].out) << '"' << cases[i].in << '"';
}

}  // namespace
}  // namespace pagora
