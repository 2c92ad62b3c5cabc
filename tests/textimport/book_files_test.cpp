// Books read from files: names, size limits, unreadable files, and `pagora-cli text import`.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
using testing_books::readFile;
using testing_books::TempFolder;
using testing_books::win;
using testing_books::writeFile;
using testing_books::xhtml;

const std::string kBook =
    fb2("<body><section><title><p>Глава</p></title><p>Текст.</p></section></body>");
const std::vector<std::string> kBookLines =
    win(std::vector<std::string>{"Тихий дом", "Анна Полева", "", "Глава", "  Текст."});

TEST(BookFiles, NamesOfImportableBooksAndTheirTexts) {
  struct Case {
    const char* path;
    bool importable;
    const char* text;
  };
  const Case cases[] = {
      {"/b/Anna.fb2", true, "/b/Anna.txt"},
      {"/b/Anna.FB2", true, "/b/Anna.txt"},
      {"/b/Anna.fb2.zip", true, "/b/Anna.txt"},
      {"/b/Anna.Fb2.ZIP", true, "/b/Anna.txt"},
      {"/b/Anna.epub", true, "/b/Anna.txt"},
      {"/b.fb2/Anna.EPUB", true, "/b.fb2/Anna.txt"},
      {"/b/Anna.zip", false, "/b/Anna.zip.txt"},
      {"/b/Anna.txt", false, "/b/Anna.txt.txt"},
      {"/b/fb2", false, "/b/fb2.txt"},
      {"/b/Anna.fb2.bak", false, "/b/Anna.fb2.bak.txt"},
      {"/b/Anna.html", true, "/b/Anna.txt"},
      {"/b/Anna.HTM", true, "/b/Anna.txt"},
      {"/b/Anna.shtml", false, "/b/Anna.shtml.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(isImportableBook(c.path), c.importable);
    EXPECT_EQ(importedTextName(c.path), c.text);
  }
}

TEST(BookFiles, EachKindIsChosenByItsName) {
  TempFolder dir;
  writeFile(dir / "a.fb2", kBook);
  writeFile(dir / "b.FB2.zip", makeZip({{"b.fb2", kBook}}));
  writeFile(
      dir / "c.Epub",
      makeZip(epub({{"c.xhtml", xhtml("<h1>Глава</h1><p>Текст.</p>")}}, "<itemref idref=\"c1\"/>",
                   "<dc:title>Тихий дом</dc:title><dc:creator>Анна Полева</dc:creator>")));
  writeFile(dir / "zipped.fb2", makeZip({{"b.fb2", kBook}}));  // zipped, the name kept
  for (const char* name : {"a.fb2", "b.FB2.zip", "c.Epub", "zipped.fb2"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(importBook(dir / name), kBookLines);
  }
}

TEST(BookFiles, UnreadableAndOversizedBooksAreRefused) {
  TempFolder dir;
  writeFile(dir / "text.txt", "просто текст");
  writeFile(dir / "zip.fb2", makeZip({{"b.txt", "текст"}}));  // a zip under a plain FB2 name
  writeFile(dir / "PK.fb2", "PK");
  std::filesystem::create_directory(dir / "folder.fb2");
  // A sparse file just over the limit: refused before any of it is read.
  writeFile(dir / "huge.fb2", "");
  std::filesystem::resize_file(dir / "huge.fb2", kMaxBookMemberSize + 1);
  writeFile(dir / "fake.epub", kBook);
  writeFile(dir / "huge.htm", "");
  std::filesystem::resize_file(dir / "huge.htm", kMaxBookMemberSize + (1 << 20));
  struct Case {
    std::string name;
    std::string problem;
  };
  const Case cases[] = {
      {"missing.fb2", "cannot open: No such file or directory"},
      {"missing.epub", "cannot open: No such file or directory"},
      {"folder.fb2", "cannot open: it is a folder"},
      {"text.txt", "not an FB2 or EPUB book or an HTML page (unknown file name extension)"},
      {"zip.fb2", "the zip archive holds no .fb2 book"},
      {"PK.fb2", "broken XML at line 1, column 1: syntax error"},
      {"huge.fb2", "the book is larger than 64 MB (64 MB)"},
      {"fake.epub", "not a zip archive"},
      {"huge.htm", "the page is larger than 64 MB (65 MB)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      importBook(dir / c.name);
      ADD_FAILURE() << "no failure";
    } catch (const EBookImport& e) {
      EXPECT_EQ(e.what(), dir / c.name + ": " + c.problem);
    }
  }
}

// Sets the uncompressed size of every member in both its local and its central header.
void claimSize(std::string& zip, std::uint32_t size) {
  auto put = [&](std::size_t at) {
    for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>(size >> (8 * i));
  };
  for (std::size_t at = zip.find("PK\x03\x04"); at != std::string::npos;
       at = zip.find("PK\x03\x04", at + 4))
    put(at + 22);
  for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos;
       at = zip.find("PK\x01\x02", at + 4))
    put(at + 24);
}

TEST(BookFiles, ZipMembersOverTheLimitAreNotRead) {
  // One that says so in its headers...
  std::string claims = makeZip({{"a.fb2", kBook}});
  claimSize(claims, 80u << 20);
  try {
    importFb2Zip(claims, "book.fb2.zip");
    ADD_FAILURE() << "no failure";
  } catch (const EBookImport& e) {
    EXPECT_STREQ(e.what(), "book.fb2.zip: a.fb2 is larger than 64 MB uncompressed (80 MB)");
  }
  // ...and one that hides it: its data inflates past the limit while its headers say 1 KB.
  std::string bomb = "<html>" + std::string(kMaxBookMemberSize, ' ') + "</html>";
  std::string hidden = makeZip(epub({{"a.xhtml", bomb}}, "<itemref idref=\"c1\"/>"), false, 1);
  bomb.clear();
  claimSize(hidden, 1024);
  try {
    importEpub(hidden, "book.epub");
    ADD_FAILURE() << "no failure";
  } catch (const EBookImport& e) {
    EXPECT_STREQ(e.what(), "book.epub: OEBPS/a.xhtml is larger than 64 MB uncompressed");
  }
}

// Runs pagora-cli with the arguments; returns its exit status and fills its output.
int runCli(const std::string& arguments, std::string& output) {
  const std::string command = std::string(PAGORA_CLI) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  output.clear();
  char buffer[512];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BookFiles, CommandLineImportWritesTheTextOrNothing) {
  TempFolder dir;
  writeFile(dir / "Тихий дом.fb2.zip", makeZip({{"book.fb2", kBook}}));
  std::string output;
  ASSERT_EQ(runCli("text import '" + dir / "Тихий дом.fb2.zip" + "'", output), 0) << output;
  EXPECT_EQ(output, "File " + dir / "Тихий дом.txt" + "\nLines: 5\n");
  EXPECT_EQ(readFile(dir / "Тихий дом.txt"),
            win("Тихий дом\r\nАнна Полева\r\n\r\nГлава\r\n  Текст.\r\n"));

  // -o names the text; a broken book leaves an existing text as it was.
  writeFile(dir / "broken.fb2", kBook.substr(0, 100));
  writeFile(dir / "keep.txt", "old text\r\n");
  EXPECT_EQ(
      runCli("text import '" + dir / "broken.fb2" + "' -o '" + dir / "keep.txt" + "'", output), 1);
  EXPECT_EQ(output, "pagora-cli: " + dir / "broken.fb2" +
                        ": broken XML at line 2, column 1: unclosed token\n");
  EXPECT_EQ(readFile(dir / "keep.txt"), "old text\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "broken.txt"));

  // What code page 1251 cannot spell is said on standard error, after the file is written.
  writeFile(dir / "cjk.fb2", fb2("<body><p>\u4E2D\u6587</p></body>"));
  ASSERT_EQ(runCli("text import '" + dir / "cjk.fb2" + "'", output), 0) << output;
  EXPECT_EQ(output, "File " + dir / "cjk.txt" + "\nLines: 4\n" + dir / "cjk.txt" +
                        ": 2 characters have no equivalent in code page 1251\n");

  // The book itself is never the target.
  writeFile(dir / "self.fb2", kBook);
  EXPECT_EQ(runCli("text import '" + dir / "self.fb2" + "' -o '" + dir / "self.fb2" + "'", output),
            1);
  EXPECT_EQ(output,
            "pagora-cli: " + dir / "self.fb2" + ": the text would replace the book itself\n");
  EXPECT_EQ(readFile(dir / "self.fb2"), kBook);
}

}  // namespace
}  // namespace pagora
