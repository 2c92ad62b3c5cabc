// What the conversion to 1251 writes for characters that 1251 lacks. Expected texts were checked
// with Python's unicodedata (NFC, decompositions) and iconv -t cp1251//TRANSLIT where it agrees.
#include <gtest/gtest.h>

#include <string>

#include "text/recode.h"

namespace pagora {
namespace {

TEST(Utf8Fallback, EachClassFallsBackBeforeQuestionMarks) {
  struct Row {
    const char* what;
    std::string in;
    std::string out;  // UTF-8 of the expected 1251 text
    std::size_t missing;
  } rows[] = {
      {"и + U+0306 composes to й", "\xD0\xB8\xCC\x86", "й", 0},
      {"е + U+0308 composes to ё", "\xD0\xB5\xCC\x88", "ё", 0},
      {"a combining stress is dropped", "\xD0\x9C\xD0\xB8\xCC\x81лане", "Милане", 0},
      {"a Latin ó inside a Russian word", "б\xC3\xB3льшую", "большую", 0},
      {"a Latin ë inside a Russian word is ё", "\xC3\xABлка", "ёлка", 0},
      {"a letter loses its accent (iconv)", "Il a été très gentil", "Il a ete tres gentil", 0},
      {"next to Latin the accent just goes", "Café", "Cafe", 0},
      {"cedilla (iconv)", "ç", "c", 0},
      {"œ spelled out (iconv)", "Mon cœur", "Mon coeur", 0},
      {"ß spelled out (iconv)", "Straße", "Strasse", 0},
      {"½ spelled out", "½ фунта", "1/2 фунта", 0},
      {"non-breaking hyphen (iconv)", "по\xE2\x80\x91своему", "по-своему", 0},
      {"minus sign",
       "\xE2\x88\x92"
       "5",
       "-5", 0},
      {"pre-reform letters", "вѣра, Ѳома, мѵро", "вера, Фома, миро", 0},
      {"what has no fallback is counted", "日本 ok", "?? ok", 2},
      {"a question mark of the text is no loss", "Кто? 日", "Кто? ?", 1},
      {"a long text falls back where it must and only there",
       std::string(20000, 'a') + "\nб\xC3\xB3льше\n" + std::string(20000, 'z') + " 日",
       std::string(20000, 'a') + "\nбольше\n" + std::string(20000, 'z') + " ?", 1},
      {"bytes that are not UTF-8 stay (a 1251 name)", "\xC8\xEC\xFF.txt", "Имя.txt", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::size_t missing = 99;
    const std::string win = utf8ToWin(row.in, &missing);
    EXPECT_EQ(winToUtf8(win), row.out);
    EXPECT_EQ(missing, row.missing);
    std::string inPlace = row.in;
    EXPECT_EQ(utf8ToWinInPlace(inPlace), row.missing);
    EXPECT_EQ(inPlace, win);
  }
}

}  // namespace
}  // namespace pagora
