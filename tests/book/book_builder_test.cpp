// Building a book: the archive's bytes for Cyrillic names, what happens to an old archive and to
// the user's files, the done flag, and the ADT wrap.
#include "book/book_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "adt/adt_file.h"
#include "book/book_names.h"
#include "temp_folder.h"

namespace pagora {
namespace {

namespace fs = std::filesystem;

class BookBuilderTest : public testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    std::string p = (folder_ / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  testing_support::TempFolder temp_{"book_builder_"};
  const fs::path folder_ = temp_.path();
};

TEST_F(BookBuilderTest, CyrillicNameIsStoredInTheDeviceCharacterSet) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "Жили-были дед да баба.\r\n";
  std::string file = write("Книга.txt", text);
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  builder.ConvertTexts = false;  // the member as it is: its size is the file's
  builder.Compress({file}, archive);

  std::string bytes = read(archive);
  ASSERT_GT(bytes.size(), 32u);
  // Level-1 member header: method at 2, level at 20, name length at 21, the name from 22 on.
  EXPECT_EQ(bytes.substr(2, 5), "-lh5-");
  EXPECT_EQ(static_cast<unsigned char>(bytes[20]), 1);
  ASSERT_EQ(static_cast<unsigned char>(bytes[21]), 9);
  EXPECT_EQ(bytes.substr(22, 9), "\x8B\xAF\xAA\xA4\xA1.txt");
  // The user's file keeps its own name and its bytes; nothing else appears beside it.
  EXPECT_EQ(read(file), text);
  EXPECT_EQ(listing(), (std::vector<std::string>{"book.lzh", "Книга.txt"}));
  EXPECT_TRUE(builder.done());
  EXPECT_EQ(builder.storedNames(), (std::vector<std::string>{"\x8B\xAF\xAA\xA4\xA1.txt"}));

  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  ASSERT_EQ(reader.FileList().size(), 1u);
  EXPECT_EQ(reader.FileInfoList()[0].UncompressedSize, text.size());
}

TEST_F(BookBuilderTest, CollidingNamesKeepTheirOwnNameInTheArchive) {
  std::string a = write("м.txt", "first\r\n");
  std::string b = write("¶.txt", "second\r\n");
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  builder.Compress({a, b}, archive);
  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  EXPECT_EQ(reader.FileList(), (std::vector<std::string>{"\xAE.txt", "\xB6.txt"}));
}

TEST_F(BookBuilderTest, NamesThatConvertAlikeAreStoredOnceEach) {
  // Both names become "??.txt" in the handheld's set; the archive holds each member once, and
  // both texts come out again.
  std::filesystem::create_directories(folder_ / "other");
  std::string a = write("日本.txt", "first\r\n");
  std::string b = write("中文.txt", "second\r\n");
  std::string c = write("other/日本.txt", "third\r\n");
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  builder.Compress({a, b, c}, archive);
  EXPECT_EQ(builder.storedNames(), (std::vector<std::string>{"??.txt", "??~2.txt", "??~3.txt"}));
  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  EXPECT_EQ(reader.FileList(), (std::vector<std::string>{"??.txt", "??~2.txt", "??~3.txt"}));
  fs::create_directories(folder_ / "out");
  reader.setTargetPath((folder_ / "out").string());
  reader.setFilesToProcess({});
  std::string question = "??";
#ifdef _WIN32
  // No Windows file name may hold a "?": the texts come out under names with "_" instead.
  question = "__";
  reader.OnCheckFile = [](const std::string&, std::string& target, std::int32_t, TLzhProcessMode) {
    std::replace(target.begin(), target.end(), '?', '_');
  };
#endif
  reader.Expand();
  EXPECT_EQ(read((folder_ / "out" / (question + ".txt")).string()), "first\r\n");
  EXPECT_EQ(read((folder_ / "out" / (question + "~2.txt")).string()), "second\r\n");
  EXPECT_EQ(read((folder_ / "out" / (question + "~3.txt")).string()), "third\r\n");
}

TEST_F(BookBuilderTest, OldArchiveIsReplacedNeverAppendedTo) {
  std::string archive = (folder_ / "book.lzh").string();
  std::string old = write("old.txt", "old member\r\n");
  {
    TBookBuilder builder;
    builder.Compress({old}, archive);
  }
  std::string fresh = write("new.txt", "new member\r\n");
  TBookBuilder builder;
  builder.Compress({fresh}, archive);
  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  EXPECT_EQ(reader.FileList(), (std::vector<std::string>{"new.txt"}));
}

TEST_F(BookBuilderTest, ProgressAndDoneEvents) {
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "Строка номер " + std::to_string(i) + "\r\n";
  std::string file = write("long.txt", text);
  TBookBuilder builder;
  std::vector<int> progress;
  std::vector<std::string> done;
  builder.OnShowProgress = [&](int& percent) { progress.push_back(percent); };
  builder.OnAfterProcessed = [&](const std::string& f, const std::string& stored) {
    done.push_back(f + " -> " + stored);
  };
  builder.Compress({file}, (folder_ / "book.lzh").string());
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_GE(progress.front(), 0);
  EXPECT_LE(progress.back(), 100);
  EXPECT_EQ(done, (std::vector<std::string>{file + " -> long.txt"}));
}

TEST_F(BookBuilderTest, WaitEndsWhenNoFileIsStored) {
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  bool called = false;
  builder.OnAfterProcessed = [&](const std::string&, const std::string&) { called = true; };
  builder.Compress({(folder_ / "vanished.txt").string()}, archive);
  EXPECT_TRUE(builder.done());
  EXPECT_FALSE(called);
  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  EXPECT_TRUE(reader.FileList().empty());
}

TEST_F(BookBuilderTest, FailureLeavesNoArchiveAndTheFilesAlone) {
  std::string good = write("good.txt", "text\r\n");
  std::string archive = (folder_ / "no-such-folder" / "book.lzh").string();
  TBookBuilder builder;
  EXPECT_THROW(builder.Compress({good}, archive), Exception);
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_EQ(read(good), "text\r\n");
  EXPECT_EQ(listing(), (std::vector<std::string>{"good.txt"}));
}

TEST_F(BookBuilderTest, AdtWrapCarriesTheArchive) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += std::to_string(i * 7919 % 10007) + " ";
  std::string file = write("numbers.txt", text);
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  builder.Compress({file}, archive);
  ASSERT_FALSE(wrapArchiveIntoAdt(archive).has_value());

  std::string lzh = read(archive);
  std::string adt = read(archive + ".adt");
  std::size_t records = (lzh.size() + 3071) / 3072;
  ASSERT_EQ(adt.size(), 256 + lzh.size() + 4 * records);
  EXPECT_EQ(adt.substr(0, 22), std::string("CASIO ADDIN DATAFILE\x1A", 21) + '\0');
  EXPECT_EQ(adt.substr(30, 9), std::string("book.lzh", 8) + '\0');
  AdtInfo info = inspectAdtFile(archive + ".adt");
  EXPECT_TRUE(info.valid) << info.problem;
  EXPECT_EQ(info.recordCount, static_cast<std::int32_t>(records));
  EXPECT_EQ(info.dataSize, static_cast<std::int64_t>(lzh.size()));
  std::string back = (folder_ / "back.lzh").string();
  extractArchiveFromAdt(archive + ".adt", back);
  EXPECT_EQ(read(back), lzh);
}

TEST_F(BookBuilderTest, AdtWrapReportsAMissingArchive) {
  auto problem = wrapArchiveIntoAdt((folder_ / "none.lzh").string());
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->rfind("Error on open input file: ", 0), 0u) << *problem;
}

}  // namespace
}  // namespace pagora

namespace pagora {
namespace {

TEST_F(BookBuilderTest, BooksAreStoredAsTheirTextUnderTheirOwnName) {
  if (!canImportBooks()) GTEST_SKIP() << "the book importer is not part of this build";
  std::string fb2 =
      write("Сказка.fb2",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\"><description>"
            "<title-info><book-title>Репка</book-title></title-info></description>"
            "<body><section><p>Посадил дед репку.</p></section></body></FictionBook>\n");
  std::string archive = (folder_ / "book.lzh").string();
  TBookBuilder builder;
  builder.Compress({fb2}, archive);
  // Сказка.txt in the device character set.
  EXPECT_EQ(builder.storedNames(), (std::vector<std::string>{"\x92\xAC\xA1\xA9\xAC\xA1.txt"}));
  TLzhArchiver reader;
  reader.ArchiveName = archive;
  ASSERT_TRUE(reader.Scan());
  ASSERT_EQ(reader.FileList().size(), 1u);
  EXPECT_GT(reader.FileInfoList()[0].UncompressedSize, 20u);
  // The book itself is untouched and no text file was left beside it.
  EXPECT_EQ(listing(), (std::vector<std::string>{"book.lzh", "Сказка.fb2"}));
}

}  // namespace
}  // namespace pagora
