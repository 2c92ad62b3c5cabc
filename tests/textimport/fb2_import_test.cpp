// FictionBook 2 books to lines: structure, encodings, zipped books and notes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book_fixtures.h"
#include "text/recode.h"
#include "textimport/book_import.h"

namespace pagora {
namespace {

using testing_books::fb2;
using testing_books::makeZip;
using testing_books::win;

const std::string kWholeBook = fb2(R"(<body>
<title><p>Анна Полева</p><p>Тихий дом</p></title>
<epigraph><p>Дом молчит, пока в нём  живут.</p><text-author>Пословица</text-author></epigraph>
<section>
 <title><p>Глава первая</p><p>Утро</p></title>
 <p>Утро было <emphasis>серым</emphasis>, и <strong>дождь</strong>
    стучал по крыше<a l:href="#n1" type="note">[1]</a>.</p>
 <p>Второй абзац.</p>
 <empty-line/>
 <p>После пустой строки.</p>
 <image l:href="#pic1"/>
 <p>Рисунок <image l:href="#pic2"/> внутри абзаца.</p>
 <poem>
  <title><p>Песня</p></title>
  <stanza><v>Первая строка,</v><v>вторая строка.</v></stanza>
  <stanza><v>Снова строка</v></stanza>
  <text-author>Народ</text-author>
 </poem>
 <p>После стихов.</p>
 <cite><p>Цитата в тексте.</p><text-author>Кто-то</text-author></cite>
 <subtitle>* * *</subtitle>
 <p>Конец главы<a l:href="#n2" type="note">2</a>.</p>
</section>
<section>
 <title><p>Глава вторая</p></title>
 <section><title><p>Часть</p></title><p>Вложенный текст.</p></section>
 <table><tr><th>Имя</th><th>Год</th></tr><tr><td>Дом</td><td>1901</td></tr></table>
</section>
</body>
<body name="notes">
<title><p>Примечания</p></title>
<section id="n1"><title><p>1</p></title><p>Первое примечание.</p><p>Его второй абзац.</p></section>
<section id="n2"><title><p>2</p></title><p>Второе примечание.</p></section>
<section id="n3"><p>Без номера.</p></section>
</body>
<binary id="pic1" content-type="image/png">iVBORw0KGgo=</binary>)");

TEST(Fb2Import, WholeBookBecomesTheseLines) {
  const std::vector<std::string> expected = win(std::vector<std::string>{
      "Тихий дом",
      "Анна Полева",
      "",
      "Анна Полева",
      "Тихий дом",
      "  Дом молчит, пока в нём живут.",
      "  Пословица",
      "",
      "Глава первая",
      "Утро",
      "  Утро было серым, и дождь стучал по крыше[1].",
      "  Второй абзац.",
      "",
      "  После пустой строки.",
      "[картинка]",
      "  Рисунок [картинка] внутри абзаца.",
      "",
      "Песня",
      "",
      "  Первая строка,",
      "  вторая строка.",
      "",
      "  Снова строка",
      "  Народ",
      "",
      "  После стихов.",
      "  Цитата в тексте.",
      "  Кто-то",
      "",
      "* * *",
      "  Конец главы[2].",
      "",
      "Глава вторая",
      "",
      "Часть",
      "  Вложенный текст.",
      "  Имя | Год",
      "  Дом | 1901",
      "",
      "Примечания",
      "  [1] Первое примечание.",
      "  Его второй абзац.",
      "  [2] Второе примечание.",
      "  [3] Без номера.",
  });
  EXPECT_EQ(importFb2(kWholeBook, "book.fb2"), expected);
}

TEST(Fb2Import, NotesGoToTheEndUnderTheirNumbers) {
  struct Case {
    const char* what;
    std::string bodies;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"notes body before the text",
       "<body name=\"notes\"><section id=\"a\"><title><p>(1)</p></title><p>Сноска.</p>"
       "</section></body><body><p>Текст<a l:href=\"#a\" type=\"note\">{1}</a>.</p></body>",
       {"  Текст[1].", "", "  [1] Сноска."}},
      {"notes grouped by chapter",
       "<body><p>Текст.</p></body><body name=\"notes\"><section><title><p>Глава 1</p></title>"
       "<section id=\"a\"><title><p>1</p></title><p>Первая.</p></section>"
       "<section id=\"b\"><title><p>2</p></title><p>Вторая.</p></section></section></body>",
       {"  Текст.", "", "Глава 1", "  [1] Первая.", "  [2] Вторая."}},
      {"notes without titles are counted",
       "<body><p>Текст.</p></body><body name=\"comments\"><section id=\"a\"><p>Одна.</p>"
       "</section><section id=\"b\"><p>Две.</p></section></body>",
       {"  Текст.", "", "  [1] Одна.", "  [2] Две."}},
      {"a note without text keeps its number",
       "<body><p>Текст.</p></body><body name=\"notes\"><section id=\"a\"><title><p>7</p>"
       "</title></section><section id=\"b\"><title><p>8</p></title><p>Есть.</p></section></body>",
       {"  Текст.", "", "  [7]", "  [8] Есть."}},
      {"a plain link keeps its text",
       "<body><p>См. <a l:href=\"#x\">главу</a> и <a l:href=\"#n\" type=\"note\"><sup>3</sup></a>"
       "</p></body>",
       {"  См. главу и [3]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(importFb2(fb2(c.bodies, "", ""), "book.fb2"), win(c.expected));
  }
}

// The 8-bit code pages a book may declare, produced from the UTF-8 text by inverting the
// project's conversions into 1251.
std::string toKoi(const std::string& utf8) {
  std::string out;
  for (char c : win(utf8)) {
    for (int b = 0; b < 256; ++b) {
      if (KoiToWin(std::string(1, static_cast<char>(b)))[0] == c) {
        out.push_back(static_cast<char>(b));
        break;
      }
    }
  }
  return out;
}

std::string toDos(const std::string& utf8) {
  std::string out;
  for (char c : win(utf8)) {
    for (int b = 0; b < 256; ++b) {
      if (DosToWin(std::string(1, static_cast<char>(b)))[0] == c) {
        out.push_back(static_cast<char>(b));
        break;
      }
    }
  }
  return out;
}

// UTF-16 little-endian with its byte order mark (the test text is all in the BMP).
std::string toUtf16Le(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = c;
    std::size_t len = 1;
    if (c >= 0xE0) {
      cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
      len = 3;
    } else if (c >= 0xC0) {
      cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
      len = 2;
    }
    out.push_back(static_cast<char>(cp & 0xFF));
    out.push_back(static_cast<char>(cp >> 8));
    i += len;
  }
  return out;
}

TEST(Fb2Import, DeclaredEncodingsGiveTheSameLines) {
  const std::string body =
      "<body><section><title><p>Ёлка и щи</p></title><p>Съешь же ещё этих мягких "
      "французских булок, да выпей чаю.</p></section></body>";
  const std::vector<std::string> expected =
      win(std::vector<std::string>{"Тихий дом", "Анна Полева", "", "Ёлка и щи",
                                   "  Съешь же ещё этих мягких французских булок, да выпей чаю."});
  struct Case {
    const char* declaration;
    std::string (*encode)(const std::string&);
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", [](const std::string& s) { return s; }},
      {"<?xml version=\"1.0\"?>", [](const std::string& s) { return s; }},
      {"", [](const std::string& s) { return "\xEF\xBB\xBF" + s; }},
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>",
       [](const std::string& s) { return win(s); }},
      {"<?xml version=\"1.0\" encoding=\"WINDOWS-1251\"?>",
       [](const std::string& s) { return win(s); }},
      {"<?xml version=\"1.0\" encoding=\"cp1251\"?>", [](const std::string& s) { return win(s); }},
      {"<?xml version=\"1.0\" encoding=\"koi8-r\"?>", &toKoi},
      {"<?xml version=\"1.0\" encoding=\"IBM866\"?>", &toDos},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", &toUtf16Le},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    const std::string book = c.encode(fb2(body, "Тихий дом",
                                          "<author><first-name>Анна</first-name><last-name>"
                                          "Полева</last-name></author>",
                                          c.declaration));
    EXPECT_EQ(importFb2(book, "book.fb2"), expected);
  }
}

TEST(Fb2Import, ZippedBookReadsLikeThePlainOne) {
  const std::vector<std::string> plain = importFb2(kWholeBook, "book.fb2");
  struct Case {
    const char* what;
    testing_books::Members members;
    bool store;
  };
  const Case cases[] = {
      {"deflated", {{"book.fb2", kWholeBook}}, false},
      {"stored", {{"book.fb2", kWholeBook}}, true},
      {"after other files, upper-case name",
       {{"readme.txt", "not a book"}, {"cover.jpg", "\xFF\xD8"}, {"Folder/BOOK.FB2", kWholeBook}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(importFb2Zip(makeZip(c.members, c.store), "book.fb2.zip"), plain);
    EXPECT_EQ(importFb2(makeZip(c.members, c.store), "book.fb2"), plain);
  }
}

TEST(Fb2Import, HeaderForms) {
  struct Case {
    const char* what;
    std::string title;
    std::string authors;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"three names",
       "Книга",
       "<author><first-name>Лев</first-name><middle-name>Николаевич</middle-name>"
       "<last-name>Толстой</last-name></author>",
       {"Книга", "Лев Николаевич Толстой", "", "  Текст."}},
      {"two authors, one by nickname",
       "Книга",
       "<author><last-name>Ильф</last-name></author><author><nickname>Петров</nickname></author>",
       {"Книга", "Ильф, Петров", "", "  Текст."}},
      {"no author", "  Книга   без\n автора ", "", {"Книга без автора", "", "  Текст."}},
      {"nothing at all", "", "", {"  Текст."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(importFb2(fb2("<body><section><p>Текст.</p></section></body>", c.title, c.authors),
                        "book.fb2"),
              win(c.expected));
  }
}

TEST(Fb2Import, BadBooksAreRefusedWithTheReason) {
  struct Case {
    const char* what;
    std::string bytes;
    bool zipped;
    std::string message;
  };
  const std::string good = fb2("<body><p>Текст.</p></body>");
  std::string corrupt = makeZip({{"a.fb2", good}}, true);
  corrupt[corrupt.find(">prose<") + 1] ^= 0x20;  // still XML, but no longer matching its CRC
  const Case cases[] = {
      {"empty file", "", false, "book: broken XML at line 1, column 1: no element found"},
      {"not XML", "просто текст", false, "book: broken XML at line 1, column 1: syntax error"},
      {"cut short", good.substr(0, good.size() / 2), false,
       "book: broken XML at line 3, column 83: unclosed token"},
      {"mismatched tag", fb2("<body><p>Текст.</section></body>"), false,
       "book: broken XML at line 4, column 18: mismatched tag"},
      {"undefined entity", fb2("<body><p>a&nbsp;b</p></body>"), false,
       "book: broken XML at line 4, column 11: undefined entity"},
      {"another document", "<?xml version=\"1.0\"?><html><body><p>x</p></body></html>", false,
       "book: not a FictionBook file (the document is <html>)"},
      {"no body", fb2(""), false, "book: the FictionBook file has no body"},
      {"unknown encoding",
       fb2("<body/>", "", "", "<?xml version=\"1.0\" encoding=\"x-mac-cyrillic\"?>"), false,
       "book: unsupported encoding \"x-mac-cyrillic\""},
      {"zip: not a zip", good, true, "book: not a zip archive"},
      {"zip: no book inside", makeZip({{"a.txt", "text"}}), true,
       "book: the zip archive holds no .fb2 book"},
      {"zip: broken XML inside", makeZip({{"dir/a.fb2", "<FictionBook><body>"}}), true,
       "book: broken XML in dir/a.fb2 at line 1, column 20: no element found"},
      {"zip: cut short", makeZip({{"a.fb2", good}}).substr(0, 60), true, "book: not a zip archive"},
      {"zip: CRC error", corrupt, true, "book: a.fb2 is corrupt: CRC error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.zipped ? importFb2Zip(c.bytes, "book") : importFb2(c.bytes, "book");
      ADD_FAILURE() << "no failure";
    } catch (const EBookImport& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace pagora
