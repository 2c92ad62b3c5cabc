// EPUB books to lines: spine order, chapter structure, notes, and every way a package can break.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_fixtures.h"
#include "textimport/book_import.h"

namespace pagora {
namespace {

using testing_books::epub;
using testing_books::makeZip;
using testing_books::Members;
using testing_books::win;
using testing_books::xhtml;

TEST(EpubImport, ChaptersFollowTheSpineNotTheManifest) {
  // Manifest order: a, b, c; reading order: c, a, b.
  const Members members =
      epub({{"text/a.xhtml", xhtml("<p>Второй.</p>")},
            {"text/b.xhtml", xhtml("<p>Третий.</p>")},
            {"c%20first.xhtml", xhtml("<h1>Начало</h1><p>Первый.</p>")}},
           "<itemref idref=\"c3\"/><itemref idref=\"c1\"/>"
           "<itemref idref=\"pic\"/><itemref idref=\"c2\"/>",
           "<dc:title>Речная книга</dc:title><dc:creator>Олег Бродов</dc:creator>"
           "<dc:creator>Ирина Бродова</dc:creator>",
           "<item id=\"pic\" href=\"../OEBPS/img/p.jpg\" media-type=\"image/jpeg\"/>");
  Members renamed = members;
  for (auto& [name, data] : renamed)
    if (name == "OEBPS/c%20first.xhtml") name = "OEBPS/c first.xhtml";
  renamed.push_back({"OEBPS/img/p.jpg", "\xFF\xD8\xFF"});
  EXPECT_EQ(importEpub(makeZip(renamed), "book.epub"),
            win(std::vector<std::string>{"Речная книга", "Олег Бродов, Ирина Бродова", "", "Начало",
                                         "  Первый.", "  Второй.", "[картинка]", "  Третий."}));
}

const char kDoctype[] =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
    "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n";

TEST(EpubImport, ChapterStructureBecomesTheseLines) {
  const std::string chapter = xhtml(R"(
<section>
 <h1>Глава <em>первая</em></h1>
 <h2>Утро</h2>
 <p class="first">Утро  было
   <i>серым</i>.<a epub:type="noteref" href="#fn1">1</a></p>
 <div>Текст прямо в блоке <span>и в строке</span></div>
 <p>Строка стиха,<br/>вторая строка.</p>
 <p class="empty-line"/>
 <div class="poem"><div class="stanza"><p class="v">Стих один,</p><p class="v">стих два.</p></div>
 <div class="stanza"><p class="v">Стих три.</p></div></div>
 <p><img src="pic.png" alt="рис"/></p>
 <p>Рисунок <img src="p2.png"/> в строке.</p>
 <svg xmlns="http://www.w3.org/2000/svg"><image href="c.jpg"/><text>не текст</text></svg>
 <blockquote><p>Цитата.</p></blockquote>
 <ul><li>один</li><li>два</li></ul>
 <table><tr><td>А</td><td>Б</td></tr></table>
 <pre>код
  с отступом</pre>
 <script>var x = "скрипт";</script>
 <p>Ещё ссылка<a role="doc-noteref" href="#fn2">[2]</a>.</p>
 <aside epub:type="footnote" id="fn1"><p>Первая сноска.</p></aside>
 <aside role="doc-footnote" id="fn2"><p>Вторая сноска.</p></aside>
 <aside><p>Простая врезка.</p></aside>
</section>)",
                                    kDoctype);
  const Members members =
      epub({{"ch.xhtml", chapter},
            {"notes.xhtml", xhtml("<h2>Комментарий</h2><p>Вне порядка.</p>")},
            {"end.xhtml", xhtml("<p>Конец&nbsp;книги&mdash;всё &Ccedil;a&Vdash;.</p>", kDoctype)}},
           "<itemref idref=\"c1\"/><itemref idref=\"c2\" linear=\"no\"/><itemref idref=\"c3\"/>");
  EXPECT_EQ(importEpub(makeZip(members), "book.epub"),
            win(std::vector<std::string>{"Речная книга",
                                         "Олег Бродов, Ирина Бродова",
                                         "",
                                         "Глава первая",
                                         "",
                                         "Утро",
                                         "  Утро было серым.[1]",
                                         "  Текст прямо в блоке и в строке",
                                         "  Строка стиха,",
                                         "  вторая строка.",
                                         "",
                                         "  Стих один,",
                                         "  стих два.",
                                         "",
                                         "  Стих три.",
                                         "[картинка]",
                                         "  Рисунок [картинка] в строке.",
                                         "[картинка]",
                                         "  Цитата.",
                                         "  один",
                                         "  два",
                                         "  А | Б",
                                         "  код",
                                         "  с отступом",
                                         "  Ещё ссылка[2].",
                                         "  Простая врезка.",
                                         "  Конец книги-всё Ca?.",
                                         "",
                                         "  [1] Первая сноска.",
                                         "  [2] Вторая сноска.",
                                         "",
                                         "Комментарий",
                                         "  Вне порядка."}));
}

TEST(EpubImport, BadPackagesAreRefusedWithTheReason) {
  const std::string chapter = xhtml("<p>Текст.</p>");
  const std::string spine = "<itemref idref=\"c1\"/>";
  auto without = [](Members m, const std::string& name) {
    std::erase_if(m, [&](const auto& member) { return member.first == name; });
    return m;
  };
  auto with = [](Members m, const std::string& name, const std::string& data) {
    for (auto& member : m)
      if (member.first == name) member.second = data;
    return m;
  };
  const Members good = epub({{"a.xhtml", chapter}}, spine);
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
  };
  Members encrypted = good;
  encrypted.push_back({"META-INF/encryption.xml",
                       "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
                       "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData>"
                       "<enc:CipherData><enc:CipherReference URI=\"OEBPS/a.xhtml\"/>"
                       "</enc:CipherData></enc:EncryptedData></encryption>"});
  const Case cases[] = {
      {"not a zip", chapter, "book.epub: not a zip archive"},
      {"a zip of something else", makeZip({{"a.txt", "текст"}}),
       "book.epub: not an EPUB book (META-INF/container.xml is missing)"},
      {"container without rootfile",
       makeZip(with(good, "META-INF/container.xml", "<container><rootfiles/></container>")),
       "book.epub: not an EPUB book (META-INF/container.xml names no package document)"},
      {"broken container", makeZip(with(good, "META-INF/container.xml", "<container>")),
       "book.epub: broken XML in META-INF/container.xml at line 1, column 12: no element found"},
      {"package missing", makeZip(without(good, "OEBPS/content.opf")),
       "book.epub: missing package document OEBPS/content.opf"},
      {"empty spine", makeZip(epub({{"a.xhtml", chapter}}, "")),
       "book.epub: the reading order (spine) of the book is empty"},
      {"spine names an unknown item",
       makeZip(epub({{"a.xhtml", chapter}}, "<itemref idref=\"x9\"/>")),
       "book.epub: the reading order names an item the manifest lacks: \"x9\""},
      {"chapter missing", makeZip(without(good, "OEBPS/a.xhtml")),
       "book.epub: missing chapter OEBPS/a.xhtml"},
      {"chapter outside the book", makeZip(epub({{"../../a.xhtml", chapter}}, spine)),
       "book.epub: missing chapter ../../a.xhtml"},
      {"encrypted chapter", makeZip(encrypted),
       "book.epub: chapter OEBPS/a.xhtml is encrypted (copy protection); it cannot be read"},
      {"broken chapter", makeZip(with(good, "OEBPS/a.xhtml", "<html><body><p>a</b></body></html>")),
       "book.epub: broken XML in OEBPS/a.xhtml at line 1, column 19: mismatched tag"},
      {"undeclared entity without a DTD",
       makeZip(with(good, "OEBPS/a.xhtml", "<html><body><p>a&nbsp;b</p></body></html>")),
       "book.epub: broken XML in OEBPS/a.xhtml at line 1, column 17: undefined entity"},
      {"unknown entity with a DTD",
       makeZip(with(good, "OEBPS/a.xhtml", xhtml("<p>a&zork;b</p>", kDoctype))),
       "book.epub: broken XML in OEBPS/a.xhtml at line 3, column 159: undefined entity &zork;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      importEpub(c.bytes, "book.epub");
      ADD_FAILURE() << "no failure";
    } catch (const EBookImport& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace pagora
