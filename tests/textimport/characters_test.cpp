// Characters that the handheld cannot show become plain ones; white space collapses.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_fixtures.h"
#include "textimport/book_import.h"

namespace pagora {
namespace {

using testing_books::epub;
using testing_books::fb2;
using testing_books::makeZip;
using testing_books::win;
using testing_books::xhtml;

// The one paragraph that a book made of `text` becomes, as 1251 bytes.
std::string paragraph(const std::string& text) {
  const auto lines = importFb2(fb2("<body><p>" + text + "</p></body>", "", ""), "book.fb2");
  // A named count, not "<" + a temporary: GCC 12 warns falsely (-Wrestrict) on that.
  const std::string count = std::to_string(lines.size());
  if (lines.size() != 1) return "<" + count + " lines>";
  return lines[0];
}

TEST(ImportCharacters, TypographicMarksBecomePlain) {
  struct Case {
    const char* in;  // UTF-8 as the book holds it
    std::string out;
  };
  const Case cases[] = {
      {"\u201CТак\u201D, \u201EВот\u201C", "  \"Так\", \"Вот\""},
      {"\u2018а\u2019 \u201Aб\u2018 \u2039в\u203A", "  'а' 'б' 'в'"},
      {"\u00ABёлка\u00BB", "  «ёлка»"},  // the handheld shows guillemets
      {"а \u2014 б \u2013 в\u2012г\u2015д\u2212е\u2011ж\u2010з", "  а - б - в-г-д-е-ж-з"},
      {"Итак\u2026 и\u2E3B", "  Итак... и--"},
      {"а\u00A0б\u2009в\u202Fг\u2003\u2003д", "  а б в г д"},
      {"при\u00ADмер за\u0301мок\u200B\u200D\uFEFF", "  пример замок"},
      {"Caf\u00E9 Stra\u00DFe \u0141\u00F3d\u017A \u00C6", "  Cafe Strasse Lodz AE"},
      {"\u0450 \u045D", "  е и"},
      {"\u2116 5 \u20AC \u00A7", "  № 5 € §"},  // 1251 has these
      {"\u4E2D\u6587 \U0001F600\uFE0F \u0915", "  ?? ? ?"},
      {"&lt;a&gt; &amp; &#1046;&#x436;", "  <a> & Жж"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(paragraph(c.in), win(c.out));
  }
}

TEST(ImportCharacters, WhiteSpaceCollapsesAndNeverStartsOrEndsALine) {
  struct Case {
    const char* in;
    std::string out;
  };
  const Case cases[] = {
      {"  \t\r\n a \n\n b \t ", "  a b"},
      {"\u00A0\u00A0a", "  a"},
      {"a <emphasis>b</emphasis> <strong> c </strong>d", "  a b c d"},
      {"a<emphasis>b</emphasis>c", "  abc"},
      {"a\u00ADb", "  ab"},
      {" \u00A0 ", "<0 lines>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(paragraph(c.in), win(c.out));
  }
}

// Every character that even the fallback could not spell is counted, wherever in the book it
// stood (title, authors, text, note numbers), and only those: the count equals the "?" that the
// text gained over its source.
TEST(ImportCharacters, WhatBecameAQuestionMarkIsCounted) {
  struct Case {
    const char* what;
    std::function<std::vector<std::string>(std::size_t*)> import;
  };
  const Case cases[] = {
      {"fb2",
       [](std::size_t* m) {
         return importFb2(fb2("<body><p>中文 мир<a l:href=\"#n\">[λ]</a></p></body>"
                              "<body name=\"notes\"><section id=\"n\"><title><p>λ</p>"
                              "</title><p>Café</p></section></body>",
                              "Книга 中", "<author><first-name>Лев λ</first-name></author>"),
                          "b.fb2", m);
       }},
      {"epub",
       [](std::size_t* m) {
         return importEpub(
             makeZip(epub({{"OEBPS/a.xhtml", xhtml("<p>λ été</p>")}}, "<itemref idref=\"c1\"/>",
                          "<dc:title>中</dc:title><dc:creator>क</dc:creator>")),
             "b.epub", m);
       }},
      {"html",
       [](std::size_t* m) {
         return importHtml("<meta charset=\"utf-8\"><title>中</title><p>λλ &#x4E2D; ё</p>",
                           "b.html", m);
       }},
  };
  for (const Case& c : cases) {
    std::size_t missing = 99;
    const std::vector<std::string> lines = c.import(&missing);
    std::size_t questionMarks = 0;
    for (const std::string& line : lines)
      questionMarks += std::count(line.begin(), line.end(), '?');
    EXPECT_GT(questionMarks, 2u) << c.what;
    EXPECT_EQ(missing, questionMarks) << c.what;
  }
}

}  // namespace
}  // namespace pagora
