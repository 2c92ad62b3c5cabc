// HTML pages as text: code pages, character references, what is dropped and what makes lines.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_fixtures.h"
#include "textimport/book_import.h"
#include "textimport/html_entities.h"

namespace pagora {
namespace {

using testing_books::readFile;
using testing_books::TempFolder;
using testing_books::win;
using testing_books::writeFile;

// What a command prints when it reads `input` (given as a file): the independent peers below.
std::string peer(const std::string& command, const std::string& input) {
  const TempFolder dir;
  writeFile(dir / "in", input);
  FILE* pipe = ::popen((command + " < '" + (dir / "in") + "'").c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << command;
  return out;
}

TEST(HtmlImport, ReferencesDecodeAsPythonsHtmlModuleDoes) {
  const std::vector<std::string> rows = {"&ndash;",
                                         "&hellip;",
                                         "&copy;",
                                         "&laquo;x&raquo;",
                                         "&#1105;лка",
                                         "&#x451;",
                                         "&#X451",
                                         "&#0;",
                                         "&#xD800;",
                                         "&#x110000;",
                                         "&#99999999999;",
                                         "&#150;",
                                         "&#129;",
                                         "&amp",
                                         "&ampx",
                                         "&notit;",
                                         "&notin;",
                                         "&copy2",
                                         "&unknown;",
                                         "& x",
                                         "&#",
                                         "&#x;",
                                         "&#65a",
                                         "&acE;",
                                         "&ThickSpace;",
                                         "&NotNestedGreaterGreater;",
                                         "&nbsp&nbsp;"};
  std::string joined;
  for (const std::string& row : rows) joined += row + '\n';
  const std::string expected = peer(
      "python3 -c 'import html, sys\n"
      "for line in sys.stdin.read().split(\"\\n\")[:-1]:\n"
      "    sys.stdout.buffer.write(html.unescape(line).encode() + b\"\\0\")'",
      joined);
  std::size_t at = 0;
  for (const std::string& row : rows) {
    SCOPED_TRACE(row);
    const std::size_t end = expected.find('\0', at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(book_import::decodeHtmlText(row), expected.substr(at, end - at));
    at = end + 1;
  }
}

TEST(HtmlImport, PageInEveryCodePageGivesTheSameLines) {
  const std::string body =
      "<style>p{text-indent:1.5em}</style><script>var s = \"<p>скрипт</p>\";</script></head>\n"
      "<body><!-- скрыто > тоже --><h1>Глава первая</h1>\n<p>Все счастливые семьи похожи друг\n"
      "на друга, каждая несчастливая семья несчастлива по-своему &ndash; так&hellip; &copy;\n"
      "&laquo;Ель&raquo; &#1105;лка &#x451;</p>\n</body></html>\n";
  auto page = [&](const std::string& meta) {
    return "<html><head>" + meta + "<title>Тихий дом</title>" + body;
  };
  const std::vector<std::string> expected = win(
      std::vector<std::string>{"Тихий дом", "", "Глава первая",
                               "  Все счастливые семьи похожи друг на друга, каждая "
                               "несчастливая семья несчастлива по-своему - так... © «Ель» ёлка ё"});
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + page("")},
      {"UTF-8 by <meta charset>", page("<meta charset=\"utf-8\">")},
      {"cp1251 by http-equiv",
       peer(
           "iconv -f UTF-8 -t CP1251",
           page("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"))},
      {"KOI8-R by <meta charset>", peer("iconv -f UTF-8 -t KOI8-R", page("<meta charset=KOI8-R>"))},
      {"866 by http-equiv",
       peer("iconv -f UTF-8 -t CP866",
            page("<META HTTP-EQUIV=Content-Type CONTENT='text/html; charset=IBM866'>"))},
      {"KOI8-R by the guess", peer("iconv -f UTF-8 -t KOI8-R", page(""))},
      {"UTF-16LE with a byte order mark", peer("iconv -f UTF-8 -t UTF-16", page(""))},
      {"UTF-8 re-saved under a cp1251 declaration", page("<meta charset=\"windows-1251\">")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(importHtml(c.bytes, "page.html"), expected);
  }
}

// One word is too few for a sure guess: here the declaration decides.
TEST(HtmlImport, DeclarationDecidesWhatAFewWordsAreIn) {
  struct Case {
    const char* meta;
    const char* codePage;  // iconv's name
  };
  const Case cases[] = {
      {"<meta charset=\"koi8-r\">", "KOI8-R"},
      {"<META CHARSET='KOI8'>", "KOI8-R"},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp866\">", "CP866"},
      {"<meta content=\"text/html;charset=ibm866\" http-equiv=Content-Type>", "CP866"},
      {"<meta charset=WINDOWS-1251>", "CP1251"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.meta);
    const std::string page =
        peer(std::string("iconv -f UTF-8 -t ") + c.codePage, std::string(c.meta) + "<p>Эх</p>");
    EXPECT_EQ(importHtml(page, "page.html"), std::vector<std::string>{win("  Эх")});
  }
}

TEST(HtmlImport, MarkupMakesTheseLines) {
  struct Case {
    const char* html;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"<p>hard\nwrapped   line</p>", {"  hard wrapped line"}},
      {"one<br>two<BR/>three", {"  one", "  two", "  three"}},
      {"<P>a<P>b", {"  a", "  b"}},
      {"a</p>b", {"  a", "  b"}},
      {"<p>a<h2>Head</h2>b", {"  a", "", "Head", "  b"}},
      {"<pre>x  1\ny 2\n</pre>", {"  x 1", "  y 2"}},
      {"<ul><li>a<li>b</ul><dl><dt>c<dd>d</dl>", {"  a", "  b", "  c", "  d"}},
      {"<table><tr><td>1<td>2<tr><th>3</table>", {"  1 | 2", "  3"}},
      {"<blockquote>q</blockquote>r<hr>s", {"  q", "  r", "  s"}},
      {"<head><title>T</title><meta name=x><p>x", {"T", "", "  x"}},
      {"<title>T</title><h1>T</h1>x<h1>T</h1>", {"T", "  x", "", "T"}},
      {"<p>a<script>if (a<b) c();</script>b", {"  ab"}},
      {"a<!-- c > d -->b<!---->c<!-->d", {"  abcd"}},
      {"<p>1 < 2 &amp; 3 > 2", {"  1 < 2 & 3 > 2"}},
      {"a<!-- never closed <p>b", {"  a"}},
      {"a<script>never closed", {"  a"}},
      {"a<p class=\"never closed", {"  a"}},
      {"a<b>b</i></div></b>c", {"  abc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(importHtml(c.html, "page.html"), c.lines);
  }
}

// The corpus page (hard-wrapped paragraphs, headings, &nbsp;) against the same novel as text,
// where each paragraph is one line: the page's lines are the text's, in order.
TEST(HtmlImport, CorpusPageReadsAsTheCorpusText) {
  const std::string dir = std::string(PAGORA_SOURCE_DIR) + "/tests/data/corpus/";
  std::vector<std::string> page;
  for (std::string line : importBook(dir + "anna-karenina.cp1251.html")) {
    line.erase(0, line.find_first_not_of(' '));
    if (!line.empty() && line != "next") page.push_back(line);
  }
  std::vector<std::string> text;
  const std::string plain = peer("sed 's/\\x96/-/g; s/\\x85/.../g; s/\\r$//; /^$/d'",
                                 readFile(dir + "anna-karenina.cp1251.txt"));
  for (std::size_t at = 0, end; (end = plain.find('\n', at)) != std::string::npos; at = end + 1)
    text.push_back(plain.substr(at, end - at));
  ASSERT_GT(page.size(), 100u);
  page.erase(page.begin());  // the page's title
  page.resize(std::min(page.size(), text.size()));
  text.resize(page.size());
  EXPECT_EQ(page, text);
}

}  // namespace
}  // namespace pagora
