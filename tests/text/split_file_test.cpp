// Splitting text files into parts: names, contents, failures.
#include "text/split_file.h"

#include "temp_folder.h"
#include "text/recode.h"
#include "text/text_buffer.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(SplitFile, Names) {
  EXPECT_EQ(NameBeforeDot("/books/war.txt"), "war");
  EXPECT_EQ(NameBeforeDot("/books/a.b.txt"), "a");
  EXPECT_EQ(NameBeforeDot("/books/readme"), "");
  EXPECT_EQ(NameBeforeDot("/my.books/readme"), "");
  EXPECT_EQ(NameBeforeDot("war.txt"), "war");

  const std::string longName(30, 'n');
  struct Case {
    std::string path;
    int digits, part;
    std::string name;
  } cases[] = {
      {"/d/war.txt", 1, 1, "/d/war_1.txt"},
      {"/d/readme", 1, 2, "/d/_2"},
      {"/d/a.b.txt", 1, 1, "/d/a_1.txt"},
      {"/d.x/notes", 1, 1, "/d.x/_1"},
      {"book.txt", 1, 3, "book_3.txt"},
      {"/d/" + longName + ".txt", 1, 1, "/d/" + std::string(22, 'n') + "_1.txt"},
      {"/d/" + longName + ".txt", 2, 7, "/d/" + std::string(21, 'n') + "_7.txt"},
      // Names are planned for d digits; a later part with more digits is simply longer.
      {"/d/" + longName + ".txt", 1, 12, "/d/" + std::string(22, 'n') + "_12.txt"},
      {"/d/" + longName + ".txt", 30, 1, "/d/_1.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(splitPartName(c.path, c.digits, c.part), c.name) << c.path;

  EXPECT_EQ(splitDigits(1000, 250), 1);
  EXPECT_EQ(splitDigits(1000, 10), 3);
  EXPECT_EQ(splitDigits(10, 20), 1);
  EXPECT_THROW(splitDigits(10, 0), ESplitError);
}

// A Russian name is cut after whole letters, never inside one; a name that is not UTF-8 is cut
// by bytes and its bytes pass through.
TEST(SplitFile, NamesAreCutBetweenLetters) {
  const std::string name = "Очень длинное название";  // 22 letters, 41 bytes
  const std::string cp1251(30, '\xEE');               // thirty 1251 "о": not UTF-8
  struct Case {
    std::string path;
    int digits;
    std::string name;
  } cases[] = {
      {"/d/" + name + ".txt", 1, "/d/" + name + "_1.txt"},
      {"/d/" + name + ".txt", 2, "/d/Очень длинное названи_1.txt"},
      {"/d/" + name + ".txt", 3, "/d/Очень длинное назван_1.txt"},
      {"/d/Сорок четыре буквы в названии этой книги.txt", 1, "/d/Сорок четыре буквы в н_1.txt"},
      {"/d/Война — «Мир» и ещё другие вещи.fb2.txt", 1, "/d/Война — «Мир» и ещё др_1.txt"},
      {"/d/" + cp1251 + ".txt", 1, "/d/" + std::string(22, '\xEE') + "_1.txt"},
      {"/d/" + cp1251 + ".txt", 2, "/d/" + std::string(21, '\xEE') + "_1.txt"},
  };
  for (const Case& c : cases) {
    const std::string part = splitPartName(c.path, c.digits, 1);
    EXPECT_EQ(part, c.name) << c.path;
    if (isValidUtf8(c.path)) {
      EXPECT_TRUE(isValidUtf8(part)) << part;
    }
  }
}

TEST(SplitFile, RussianNameWritesUtf8Parts) {
  TempFolder dir;
  std::string text;
  for (int i = 0; i < 120; ++i) text += "line " + std::to_string(i) + "\r\n";
  const std::string file = dir / "Очень длинное название книги.txt";
  writeFile(file, text);
  const auto parts = SplitTextFile(file, 50);  // 10 digits' worth of parts: d = 2
  ASSERT_GE(parts.size(), 10u);
  EXPECT_EQ(parts[0], dir / "Очень длинное названи_1.txt");
  EXPECT_EQ(parts[9], dir / "Очень длинное названи_10.txt");
  std::string joined;
  for (const std::string& part : parts) {
    EXPECT_TRUE(isValidUtf8(part)) << part;
    joined += readFile(part);
  }
  EXPECT_EQ(joined, text);
}

TEST(SplitFile, ThousandBytesAtTwoHundredFifty) {
  TempFolder dir;
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::string(48, static_cast<char>('a' + i)) + "\r\n";
  ASSERT_EQ(text.size(), 1000u);
  writeFile(dir / "war.txt", text);
  const auto parts = SplitTextFile(dir / "war.txt", 250);
  ASSERT_EQ(parts, (std::vector<std::string>{dir / "war_1.txt", dir / "war_2.txt",
                                             dir / "war_3.txt", dir / "war_4.txt"}));
  for (int p = 0; p < 4; ++p) EXPECT_EQ(readFile(parts[p]), text.substr(250 * p, 250)) << p;
  EXPECT_EQ(readFile(dir / "war.txt"), text) << "the source stays";
}

TEST(SplitFile, PartsReachTheChunkOrHoldOneLongLine) {
  TempFolder dir;
  // Line lengths with CR LF: 12, 4, 4, 3, 4 bytes, at a chunk of 6.
  writeFile(dir / "t.txt", "longlonglo\nab\rcd\r\nx\r\nyz");
  const auto parts = SplitTextFile(dir / "t.txt", 6);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(readFile(parts[0]), "longlonglo\r\n");  // longer than a chunk: a part of its own
  EXPECT_EQ(readFile(parts[1]), "ab\r\ncd\r\n");    // 4 < 6, so the next line joins
  EXPECT_EQ(readFile(parts[2]), "x\r\nyz\r\n");     // the last line gets its line end
}

TEST(SplitFile, ChunkLargerThanTheFileAndEmptyFile) {
  TempFolder dir;
  writeFile(dir / "readme", "one\r\ntwo");
  EXPECT_EQ(SplitTextFile(dir / "readme", 1000), std::vector<std::string>{dir / "_1"});
  EXPECT_EQ(readFile(dir / "_1"), "one\r\ntwo\r\n");

  writeFile(dir / "empty.txt", "");
  EXPECT_EQ(SplitTextFile(dir / "empty.txt", 10), std::vector<std::string>{});
}

TEST(SplitFile, FailuresWriteNothing) {
  TempFolder dir;
  writeFile(dir / "a.txt", "text\r\n");
  EXPECT_THROW(SplitTextFile(dir / "a.txt", 0), ESplitError);
  EXPECT_THROW(SplitTextFile(dir / "missing.txt", 10), ETextFileError);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace pagora
