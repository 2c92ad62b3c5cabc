// The archiver's wildcard rule, member selection, and wildcard entries expanded from folders.
#include <gtest/gtest.h>

#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_names.h"

namespace pagora {
namespace {

using testing_support::TempFolder;
using testing_support::writeFile;

TEST(WildcardMatch, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.*", "anything.txt", true},
      {"*.*", "noext", true},
      {"*", "noext", true},
      {"*", "a.txt", true},
      {"*.txt", "A.TXT", true},
      {"*.TXT", "a.txt", true},
      {"*.txt", "a.txt.bak", false},
      {"*.txt", "a.doc", false},
      {"a?c.*", "abc.doc", true},
      {"a?c.*", "ac.doc", false},
      {"a?c.*", "abcd.doc", false},
      {"a*", "abc.doc", true},
      {"a*", "bac.doc", false},
      {"abc", "abc.txt", true},  // an empty pattern extension is "*"
      {"abc", "abc", true},
      {"abc", "abcd", false},
      {"*.", "noext", true},  // an empty name extension is "."
      {"*.", "a.txt", false},
      {"*.t", "x.txt", false},
      {"*.t*", "x.txt", true},
      {"*.?xt", "x.txt", true},
      {"*a", "ba.txt", false},  // a leading "*" followed by more is taken literally
      {"*a", "*a.txt", true},
      {"a*b", "aXYZ.txt", true},  // after the first "*" nothing more is compared
      {"?", "", false},
      {"????????.???", "PART1.TXT", false},
      {"?????.???", "PART1.TXT", true},
      {"книга.txt", "книга.TXT", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lzhWildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(WildcardMatch, SelectionNeedsEqualFolders) {
  struct Case {
    const char* entry;
    const char* member;
    bool selected;
  };
  const Case cases[] = {
      {"BOOK\\*.TXT", "book\\part1.txt", true},
      {"book/*.txt", "BOOK\\PART1.TXT", true},
      {"*.TXT", "BOOK\\PART1.TXT", false},
      {"BOOK\\*.TXT", "PART1.TXT", false},
      {"BOOK\\PART1.TXT", "BOOK\\SUB\\PART1.TXT", false},
      {"part1.txt", "PART1.TXT", true},
      {"C:PART1.TXT", "PART1.TXT", false},
      {"/out/book.lzh", "/out/book.lzh", true},
      {"/out/*.lzh", "/out/book.$$$", false},
      {"/out/*.$$$", "/out/book.$$$", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lzhSelects(c.entry, c.member), c.selected) << c.entry << " vs " << c.member;
}

TEST(WildcardExpand, FolderListingWithAndWithoutSubfolders) {
  TempFolder dir;
  for (const char* name : {"b.txt", "a.txt", "c.doc", ".hidden.txt", "sub/d.txt",
                           "sub/deeper/e.TXT", "z/f.txt", "sub/.git/g.txt"})
    writeFile(dir / name, "x");
  const std::string base = dir.path().string() + "/";
  struct Case {
    std::string entry;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {base + "*.txt", {base + "a.txt", base + "b.txt"}},
      {base + "*.txt/S",
       {base + "a.txt", base + "b.txt", base + "sub/d.txt", base + "sub/deeper/e.TXT",
        base + "z/f.txt"}},
      {base + "*.txt/s",
       {base + "a.txt", base + "b.txt", base + "sub/d.txt", base + "sub/deeper/e.TXT",
        base + "z/f.txt"}},
      {base + "?.doc", {base + "c.doc"}},
      {base + "sub/*", {base + "sub/d.txt"}},
      {base + "nothing/*.txt", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(lzhExpandWildcard(c.entry), c.found) << c.entry;
}

TEST(WildcardExpand, FolderWrittenWithBackslashes) {
  TempFolder dir;
  for (const char* name : {"in/a.txt", "in/b.doc", "in/sub/c.txt"}) writeFile(dir / name, "x");
  const std::string in = dir.path().string() + "\\in\\";
  struct Case {
    std::string entry;
    std::vector<std::string> windows;  // POSIX: a backslash is a letter, no such file
  };
  const Case cases[] = {
      {in + "*.txt", {in + "a.txt"}},
      {in + "*.txt/S", {in + "a.txt", in + "sub/c.txt"}},
      {in + "?.doc", {in + "b.doc"}},
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(lzhExpandWildcard(c.entry), c.windows) << c.entry;
#else
    EXPECT_EQ(lzhExpandWildcard(c.entry), std::vector<std::string>{}) << c.entry;
#endif
  }
  // What a Windows user types lands in the archive as folders below the target.
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.ArchiveType = caLHA;
  archiver.StorePath = true;
  archiver.setTargetPath(dir.path().string() + "\\");
  archiver.setFilesToProcess({in + "*.txt/S"});
#ifdef _WIN32
  archiver.Compress();
  ASSERT_TRUE(archiver.Scan());
  EXPECT_EQ(archiver.FileList(), (std::vector<std::string>{"in\\a.txt", "in\\sub\\c.txt"}));
#endif
}

TEST(WildcardExpand, CompressReplacesWildcardEntriesInPlace) {
  TempFolder dir;
  for (const char* name : {"in/a.txt", "in/b.txt", "in/sub/c.txt", "first.txt", "last.txt"})
    writeFile(dir / name, name);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.ArchiveType = caLHA;
  archiver.StorePath = true;
  archiver.setTargetPath(dir.path().string());
  archiver.setFilesToProcess({dir / "first.txt", dir / "in/*.txt/S", dir / "last.txt"});
  archiver.Compress();
  const std::vector<std::string> expected = {"first.txt", "in\\a.txt", "in\\b.txt",
                                             "in\\sub\\c.txt", "last.txt"};
  EXPECT_EQ(archiver.FilesToProcess(), expected);
  ASSERT_TRUE(archiver.Scan());
  EXPECT_EQ(archiver.FileList(), expected);
}

}  // namespace
}  // namespace pagora
