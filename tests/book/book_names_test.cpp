// Book name normalisation, folder joining, file sizes and the stored-name rules.
#include "book/book_names.h"
#include "book/file_sizes.h"
#include "common/file_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "temp_folder.h"

namespace pagora {
namespace {

namespace fs = std::filesystem;

using testing_support::TempFolder;

TEST(NormaliseBookName, ExamplesOfTheBuild) {
  struct Case {
    const char* typed;
    const char* normalised;
  } cases[] = {
      {"book", "book.lzh"},
      {"notes.txt", "notes.txt.lzh"},
      {"BOOK.Lzh", "BOOK.Lzh"},
      {"book.LZH", "book.LZH"},
      {"", ".lzh"},
      {"\"/home/me/My Books/war\"", "/home/me/My Books/war.lzh"},
      {"\"war.lzh\"", "war.lzh"},
      {"\"war", "war.lzh"},
      {"war\"", "war.lzh"},
      {"\"", ".lzh"},
      {"books.lzh/war", "books.lzh/war.lzh"},  // the dot before the last folder does not count
      {"war.lzhx", "war.lzhx.lzh"},
      {"war.", "war..lzh"},
      {"\"\"book\"\"", "\"book\".lzh"},  // only one quote is dropped at each end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(normaliseBookName(c.typed), c.normalised) << c.typed;
  }
}

TEST(NormaliseBookName, AdtFileIsTheArchiveNamePlusAdt) {
  EXPECT_EQ(adtNameFor(normaliseBookName("\"/b/My Books/war\"")), "/b/My Books/war.lzh.adt");
}

TEST(AddSlash, Table) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"", ""}, {"/", "/"}, {"/home", "/home/"}, {"/home/", "/home/"}, {"a", "a/"}};
  for (const auto& c : cases) EXPECT_EQ(AddSlash(c.in), c.out) << c.in;
}

// A backslash separates folders on Windows; on POSIX it is a letter of the file name.
TEST(BackslashFolders, SeparateOnWindowsOnly) {
  struct Case {
    std::function<std::string(const std::string&)> rule;
    std::string in;
    std::string windows;
    std::string posix;
  };
  const Case cases[] = {
      {baseName, "C:\\Книги\\война.txt", "война.txt", "C:\\Книги\\война.txt"},
      {baseName, "Книги\\том/война.txt", "война.txt", "война.txt"},
      {baseName, "Книги/том\\война.txt", "война.txt", "том\\война.txt"},
      {AddSlash, "C:\\Книги\\", "C:\\Книги\\", "C:\\Книги\\/"},
      {AddSlash, "C:\\Книги", "C:\\Книги/", "C:\\Книги/"},
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(c.rule(c.in), c.windows) << c.in;
#else
    EXPECT_EQ(c.rule(c.in), c.posix) << c.in;
#endif
  }
}

TEST(FileLength, SizesReadOnlyFilesAndRefusesWhatIsNoFile) {
  TempFolder t;
  std::string text = t.write("ro.txt", std::string(1234, 'a'));
  ::chmod(text.c_str(), 0444);
  EXPECT_EQ(FileLength(text), 1234);
  EXPECT_EQ(FileLength(t.write("empty.txt", "")), 0);
  try {
    FileLength(t / "missing.txt");
    FAIL() << "a missing file has no length";
  } catch (const EBookIO& e) {
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
  }
  EXPECT_THROW(FileLength(t.path().string()), EBookIO);
}

TEST(TotalLength, AddsUpPastTwoGigabytes) {
  TempFolder t;
  std::string big = t.write("big.txt", "");
  // A sparse file: no disk space is used for the hole.
  fs::resize_file(big, 3'000'000'000LL);
  std::string small = t.write("small.txt", "12345");
  EXPECT_EQ(totalLength({big, small}), 3'000'000'005LL);
  EXPECT_EQ(sizeLine(totalLength({big, small})), "Size : 3000000005 bytes");
  EXPECT_EQ(sizeLine(0), "Size : 0 bytes");
  EXPECT_THROW(totalLength({small, t / "gone"}), EBookIO);
}

// Code page 1251 bytes of a name, written as the UTF-8 the file system holds.
std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(DeviceStoredNames, ConvertedNamesAndCollisions) {
  const std::string kniga = "Книга.txt";  // 1251: CA ED E8 E3 E0
  const std::string deviceKniga = Bytes({0x8B, 0xAF, 0xAA, 0xA4, 0xA1, '.', 't', 'x', 't'});
  const std::string ownKniga = Bytes({0xCA, 0xED, 0xE8, 0xE3, 0xE0, '.', 't', 'x', 't'});
  // "‹ЇЄ¤Ў.txt" holds exactly the 1251 bytes that "Книга.txt" becomes on the device.
  const std::string squatter = "‹ЇЄ¤Ў.txt";
  struct Case {
    const char* what;
    std::vector<std::string> files;
    std::vector<std::string> stored;
  } cases[] = {
      {"plain ASCII stays", {"/b/war-and-peace_1.txt"}, {"war-and-peace_1.txt"}},
      {"Cyrillic in an ASCII folder", {"/b/" + kniga}, {deviceKniga}},
      {"Cyrillic folder: the name is still converted", {"/книги/" + kniga}, {deviceKniga}},
      {"Ё and ё", {"/b/Ёё"}, {Bytes({0x86, 0xA7})}},
      {"vertical bar and blanks", {"/b/a|b c"}, {Bytes({'a', 0xCD, 'b', ' ', 'c'})}},
      {"two names that convert alike: the second keeps its own",
       {"/b/м.txt", "/b/¶.txt"},
       {Bytes({0xAE, '.', 't', 'x', 't'}), Bytes({0xB6, '.', 't', 'x', 't'})}},
      {"alike names in different folders meet in the archive: the second keeps its own",
       {"/a/м.txt", "/b/¶.txt"},
       {Bytes({0xAE, '.', 't', 'x', 't'}), Bytes({0xB6, '.', 't', 'x', 't'})}},
      {"names 1251 cannot tell apart: the second gets a number",
       {"/b/日本.txt", "/b/中文.txt"},
       {"??.txt", "??~2.txt"}},
      {"and a third the next number, across folders",
       {"/a/日.txt", "/b/日.txt", "/c/中.txt"},
       {"?.txt", "?~2.txt", "?~3.txt"}},
      {"a number already stored is skipped",
       {"/b/??~2.txt", "/b/日本.txt", "/b/中文.txt"},
       {"??~2.txt", "??.txt", "??~3.txt"}},
      {"equal names in two folders, in any letter case",
       {"/a/notes.txt", "/b/NOTES.TXT", "/c/notes"},
       {"notes.txt", "NOTES~2.TXT", "notes"}},
      {"a name without an extension, or only one",
       {"/a/日", "/b/中", "/a/.txt", "/b/.TXT"},
       {"?", "?~2", ".txt", ".TXT~2"}},
      {"letter case does not tell names apart",
       {"/b/" + kniga, "/b/‹ЇЄ¤Ў.TXT"},
       {ownKniga, Bytes({' ', ' ', 0xC0, 0xDD, 0x8F, '.', 'T', 'X', 'T'})}},
      {"device codes are not letters of another case",
       {"/b/Я.txt", "/b/я.txt"},
       {Bytes({0xA0, '.', 't', 'x', 't'}), Bytes({0xC1, '.', 't', 'x', 't'})}},
      {"converted name held by a later chosen file",
       {"/b/" + kniga, "/b/" + squatter},
       {ownKniga, Bytes({' ', ' ', 0xC0, 0xDD, 0x8F, '.', 't', 'x', 't'})}},
      {"converted name freed by an earlier chosen file",
       {"/b/" + squatter, "/b/" + kniga},
       {Bytes({' ', ' ', 0xC0, 0xDD, 0x8F, '.', 't', 'x', 't'}), deviceKniga}},
      {"a character code page 1251 lacks", {"/b/日.txt"}, {"?.txt"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(deviceStoredNames(c.files), c.stored) << c.what;
  }
}

TEST(ChosenList, EachFileOnceWithoutRegardToLetterCase) {
  struct Case {
    const char* what;
    std::vector<std::string> added;
    std::vector<std::string> chosen;
  } cases[] = {
      {"the same name twice", {"/b/a.txt", "/b/a.txt"}, {"/b/a.txt"}},
      {"ASCII letter case", {"/b/Book.txt", "/b/BOOK.TXT"}, {"/b/Book.txt"}},
      {"Russian letter case", {"/b/Книга.txt", "/b/КНИГА.TXT", "/b/книга.txt"}, {"/b/Книга.txt"}},
      {"Ё, Ў and Ґ", {"/b/Ёж Ўё Ґ", "/b/ёЖ ўЁ ґ"}, {"/b/Ёж Ўё Ґ"}},
      {"Latin-1 letters", {"/b/Ärger", "/b/ärger"}, {"/b/Ärger"}},
      {"different letters stay apart",
       {"/b/е", "/b/ё", "/b/日", "/b/本"},
       {"/b/е", "/b/ё", "/b/日", "/b/本"}},
      {"folders count too", {"/a/x", "/b/x", "/A/X"}, {"/a/x", "/b/x"}},
      {"bytes that are not UTF-8",
       {"/b/\xCA\xED", "/b/\xEA\xED", "/b/\xCA\xED"},
       {"/b/\xCA\xED", "/b/\xEA\xED"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> chosen;
    for (const auto& path : c.added) addChosenFile(chosen, path);
    EXPECT_EQ(chosen, c.chosen) << c.what;
  }
  EXPECT_EQ(foldLetterCase("ABC Жук ЁЯ"), "abc жук ёя");
}

}  // namespace
}  // namespace pagora
