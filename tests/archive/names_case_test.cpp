// Letter case of stored names: ASCII, Latin-1 and Cyrillic letters of UTF-8 names change case
// whatever the process locale; names that are not UTF-8 keep every byte from 0x80 up.
#include <gtest/gtest.h>

#include <clocale>

#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_names.h"

namespace pagora {
namespace {

using testing_support::TempFolder;
using testing_support::writeFile;

// Runs with the plain "C" locale, the one least able to help.
class CLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
  }
  void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

 private:
  std::string saved_;
};

TEST_F(CLocale, UpperAndLowerCaseTable) {
  struct Case {
    std::string lower;
    std::string upper;
  };
  const Case cases[] = {
      {"привет.txt", "ПРИВЕТ.TXT"},
      {"ёжик и щука.txt", "ЁЖИК И ЩУКА.TXT"},
      {"їжак ґанок ў.txt", "ЇЖАК ҐАНОК Ў.TXT"},
      {"café déjà vu.txt", "CAFÉ DÉJÀ VU.TXT"},
      {"àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþ", "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞ"},
      {"ÿ", "Ÿ"},
      {"a×b÷c", "A×B÷C"},  // signs, not letters
      {"日本.txt", "日本.TXT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lzhUpperCase(c.lower), c.upper) << c.lower;
    EXPECT_EQ(lzhLowerCase(c.upper), c.lower) << c.upper;
    EXPECT_TRUE(lzhSameIgnoringCase(c.lower, c.upper)) << c.lower;
  }
  // German sharp s has no capital of the same length: it stays.
  EXPECT_EQ(lzhUpperCase("straße"), "STRAßE");
  // Not UTF-8 (code page 1251 "при", a lone continuation byte): only ASCII letters change.
  EXPECT_EQ(lzhUpperCase("\xEF\xF0\xE8.txt"), "\xEF\xF0\xE8.TXT");
  EXPECT_EQ(lzhUpperCase("a\x80z"), "A\x80Z");
  EXPECT_EQ(lzhUpperCase("\xD0"), "\xD0");  // cut short inside a letter
  EXPECT_FALSE(lzhSameIgnoringCase("привет", "пРИВЕТ1"));
}

TEST_F(CLocale, StoredNamesAndSelection) {
  EXPECT_EQ(lzhStoredName("/книги/Привет.txt", false, "", true), "ПРИВЕТ.TXT");
  EXPECT_EQ(lzhStoredName("/КНИГИ/том/Привет.txt", true, "/книги/", true), "ТОМ\\ПРИВЕТ.TXT");
  EXPECT_EQ(lzhStoredName("/книги/Привет.txt", false, "", false), "Привет.txt");
  // A backslash separates folders on Windows; on POSIX it is a letter of the name.
  struct HostCase {
    std::string path;
    bool storePath;
    std::string target;
    std::string windows;
    std::string posix;
  };
  const HostCase hostCases[] = {
      {"C:\\книги\\Привет.txt", false, "", "ПРИВЕТ.TXT", "\\КНИГИ\\ПРИВЕТ.TXT"},
      {"C:\\книги/том\\Привет.txt", false, "", "ПРИВЕТ.TXT", "ТОМ\\ПРИВЕТ.TXT"},
      {"C:\\книги\\том\\Привет.txt", true, "c:\\КНИГИ\\", "ТОМ\\ПРИВЕТ.TXT", "ТОМ\\ПРИВЕТ.TXT"},
      {"C:\\книги\\том/Привет.txt", true, "C:/книги/", "ТОМ\\ПРИВЕТ.TXT",
       "\\КНИГИ\\ТОМ\\ПРИВЕТ.TXT"},
  };
  for (const HostCase& c : hostCases) {
#ifdef _WIN32
    const std::string& expected = c.windows;
#else
    const std::string& expected = c.posix;
#endif
    EXPECT_EQ(lzhStoredName(c.path, c.storePath, c.target, true), expected) << c.path;
  }
  EXPECT_TRUE(lzhSelects("ТОМ\\ПРИВЕТ.TXT", "том\\привет.txt"));
  EXPECT_TRUE(lzhSelects("Том\\*.txt", "ТОМ\\ПРИВЕТ.TXT"));
  // "?" is one letter, also where a letter takes two bytes.
  EXPECT_TRUE(lzhWildcardMatch("?.txt", "Я.txt"));
  EXPECT_TRUE(lzhWildcardMatch("пр?вет.*", "ПРИВЕТ.TXT"));
  EXPECT_FALSE(lzhWildcardMatch("??.txt", "Я.txt"));
}

TEST_F(CLocale, LevelZeroArchivesStoreUpperCaseNames) {
  TempFolder dir;
  writeFile(dir / "Привет.txt", "hello");
  writeFile(dir / "Café.txt", "coffee");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.ArchiveType = caLHARC;
  archiver.setFilesToProcess({dir / "Привет.txt", dir / "Café.txt"});
  archiver.Compress();
  ASSERT_TRUE(archiver.Scan());
  EXPECT_EQ(archiver.FileList(), (std::vector<std::string>{"ПРИВЕТ.TXT", "CAFÉ.TXT"}));
}

}  // namespace
}  // namespace pagora
