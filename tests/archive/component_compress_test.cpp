// TLzhArchiver::Compress: stored names, rebuild order, append, events and confirmations, cancel,
// and the previous archive surviving failures, a real full disk included.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_names.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::fileExists;
using testing_support::listTree;
using testing_support::proseText;
using testing_support::randomBytes;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

std::vector<std::string> membersOf(const std::string& archiveName) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  EXPECT_TRUE(archiver.Scan());
  return archiver.FileList();
}

Bytes expandOne(const TempFolder& dir, const std::string& archiveName, const std::string& member,
                const std::string& password = {}) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  archiver.Password = password;
  archiver.MakeDirectories = true;
  std::filesystem::remove_all(dir / "expanded");
  archiver.setTargetPath(dir / "expanded");
  archiver.setFilesToProcess({member});
  archiver.Expand();
  std::string path = member;
  std::replace(path.begin(), path.end(), '\\', '/');
  return readBytes(dir / ("expanded/" + path));
}

// A component set up as the desktop program sets it, writing archiveName from files.
void compress(const std::string& archiveName, const std::vector<std::string>& files,
              bool allowDuplicates = false, TLzhMethod method = colh5) {
  TLzhArchiver archiver;
  archiver.ArchiveType = caLHA;
  archiver.CompressionMethod = method;
  archiver.ExceptionOnFileError = true;
  archiver.AllowDuplicates = allowDuplicates;
  archiver.ArchiveName = archiveName;
  archiver.setFilesToProcess(files);
  archiver.Compress();
}

TEST(ComponentStoredName, Table) {
  struct Case {
    std::string path;
    bool storePath;
    std::string targetPath;
    bool upper;
    std::string stored;
  };
  const Case cases[] = {
      {"/books/Part1.txt", false, "", false, "Part1.txt"},
      {"/books/Part1.txt", false, "", true, "PART1.TXT"},
      {"/books/sub/Part1.txt", true, "/books/", false, "sub\\Part1.txt"},
      {"/BOOKS/sub/a.txt", true, "/books/", false, "sub\\a.txt"},
      {"/books/a.txt", true, "", false, "\\books\\a.txt"},
      {"/other/a.txt", true, "/books/", false, "\\other\\a.txt"},
      {"C:x.txt", false, "", false, "x.txt"},
      {"c:/dos/a.txt", true, "", true, "\\DOS\\A.TXT"},
      {"rel/dir/a.txt", true, "", false, "rel\\dir\\a.txt"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lzhStoredName(c.path, c.storePath, c.targetPath, c.upper), c.stored) << c.path;
}

TEST(ComponentCompress, NewArchiveWithLevelsAndUpperCase) {
  TempFolder dir;
  writeFile(dir / "in/Alpha.txt", "alpha alpha alpha alpha alpha");
  writeFile(dir / "in/beta.TXT", "beta");
  struct Case {
    TLzhArchiveType type;
    bool upper;
    std::vector<std::string> names;
  };
  const Case cases[] = {{caLHA, false, {"Alpha.txt", "beta.TXT"}},
                        {caLHA, true, {"ALPHA.TXT", "BETA.TXT"}},
                        {caLHARC, false, {"ALPHA.TXT", "BETA.TXT"}}};
  for (const Case& c : cases) {
    std::filesystem::remove(dir / "a.lzh");
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.ArchiveType = c.type;
    archiver.ForceUpperCase = c.upper;
    archiver.CompressionMethod = colh5;
    archiver.setFilesToProcess({dir / "in/Alpha.txt", dir / "in/beta.TXT"});
    archiver.Compress();
    EXPECT_EQ(archiver.FilesToProcess(), c.names);
    EXPECT_EQ(archiver.ProcessedFiles(), c.names);
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileList(), c.names);
    EXPECT_EQ(archiver.FileInfoList()[0].HeaderLevel, c.type == caLHA ? 1 : 0);
    EXPECT_EQ(archiver.FileInfoList()[0].Attributes, 0x20);
    // "beta" is 4 bytes: coding cannot pay, the member is stored.
    EXPECT_EQ(archiver.FileInfoList()[1].Method, colh0);
    EXPECT_EQ(readBytes(dir / "a.lzh").back(), 0);
  }
}

TEST(ComponentCompress, ReadOnlyFileGetsTheReadOnlyAttribute) {
  TempFolder dir;
  writeFile(dir / "ro.txt", "read only");
  ::chmod((dir / "ro.txt").c_str(), 0444);
  for (TLzhArchiveType type : {caLHARC, caLHA}) {
    std::filesystem::remove(dir / "a.lzh");
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.ArchiveType = type;
    archiver.setFilesToProcess({dir / "ro.txt"});
    archiver.Compress();
    ASSERT_TRUE(archiver.Scan());
    EXPECT_EQ(archiver.FileInfoList()[0].Attributes, 0x21);
  }
}

// A read-only archive is rebuilt and replaced as on POSIX, where only the folder's permissions
// count; Windows refuses to replace a read-only file until its attribute is taken off.
TEST(ComponentCompress, ReadOnlyArchiveIsRebuiltAndReplaced) {
  TempFolder dir;
  writeFile(dir / "a.txt", "first");
  writeFile(dir / "b.txt", "second");
  compress(dir / "book.lzh", {dir / "a.txt"});
  ASSERT_EQ(::chmod((dir / "book.lzh").c_str(), 0444), 0);
  compress(dir / "book.lzh", {dir / "b.txt"});
  EXPECT_EQ(membersOf(dir / "book.lzh"), (std::vector<std::string>{"b.txt", "a.txt"}));
  EXPECT_EQ(listTree(dir.path().string()),
            (std::vector<std::string>{"a.txt", "b.txt", "book.lzh"}));
  EXPECT_EQ(expandOne(dir, dir / "book.lzh", "a.txt"), Bytes({'f', 'i', 'r', 's', 't'}));
}

TEST(ComponentCompress, RebuildPutsNewFilesFirstAndKeepsTheRestInOrder) {
  TempFolder dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir / name, std::string("old ") + name);
  compress(dir / "book.lzh", {dir / "a.txt", dir / "b.txt", dir / "c.txt"});
  writeFile(dir / "new/B.TXT", "new b, replacing the old one");
  writeFile(dir / "new/d.txt", "new d");
  compress(dir / "book.lzh", {dir / "new/B.TXT", dir / "new/d.txt"});
  EXPECT_EQ(membersOf(dir / "book.lzh"),
            (std::vector<std::string>{"B.TXT", "d.txt", "a.txt", "c.txt"}));
  EXPECT_EQ(expandOne(dir, dir / "book.lzh", "B.TXT"), Bytes(readBytes(dir / "new/B.TXT")));
  EXPECT_EQ(expandOne(dir, dir / "book.lzh", "c.txt"), Bytes(readBytes(dir / "c.txt")));
  EXPECT_FALSE(fileExists(dir / "book.$$$"));
}

TEST(ComponentCompress, RebuildThroughTempArchivePath) {
  TempFolder dir;
  writeFile(dir / "a.txt", "a");
  writeFile(dir / "b.txt", "b");
  compress(dir / "book.lzh", {dir / "a.txt"});
  std::filesystem::create_directories(dir / "tmp");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "book.lzh";
  archiver.setTempArchivePath(dir / "tmp");
  EXPECT_EQ(archiver.TempArchivePath(), dir / "tmp/");
  std::string seen;
  archiver.OnAfterProcessed = [&](const std::string&, const std::string&, std::int32_t,
                                  TLzhProcessMode) {
    seen = fileExists(dir / "tmp/book.$$$") ? "temp" : "none";
  };
  archiver.setFilesToProcess({dir / "b.txt"});
  archiver.Compress();
  EXPECT_EQ(seen, "temp");
  EXPECT_EQ(membersOf(dir / "book.lzh"), (std::vector<std::string>{"B.TXT", "a.txt"}));
  EXPECT_TRUE(listTree(dir / "tmp").empty());
}

TEST(ComponentCompress, AppendOverwritesTheEndMarker) {
  TempFolder dir;
  writeFile(dir / "a.txt", proseText(1, 5000));
  writeFile(dir / "b.txt", proseText(2, 3000));
  compress(dir / "book.lzh", {dir / "a.txt"});
  const Bytes before = readBytes(dir / "book.lzh");
  compress(dir / "book.lzh", {dir / "b.txt", dir / "a.txt"}, true);
  const Bytes after = readBytes(dir / "book.lzh");
  ASSERT_GT(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.end() - 1, after.begin()));
  EXPECT_EQ(after.back(), 0);
  EXPECT_EQ(membersOf(dir / "book.lzh"), (std::vector<std::string>{"a.txt", "b.txt", "a.txt"}));
}

TEST(ComponentCompress, AppendAfterAnArchiveWithoutEndMarker) {
  TempFolder dir;
  writeFile(dir / "a.txt", "aaaa");
  compress(dir / "book.lzh", {dir / "a.txt"});
  Bytes before = readBytes(dir / "book.lzh");
  before.pop_back();
  writeFile(dir / "book.lzh", before);
  compress(dir / "book.lzh", {dir / "a.txt"}, true);
  const Bytes after = readBytes(dir / "book.lzh");
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
  EXPECT_EQ(after.size(), 2 * before.size() + 1);
}

TEST(ComponentCompress, MissingFilesAreDroppedSilentlyAndStopEndsTheList) {
  TempFolder dir;
  writeFile(dir / "1.txt", "one");
  writeFile(dir / "2.txt", "two");
  writeFile(dir / "3.txt", "three");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  std::vector<std::string> checked, after;
  archiver.OnCheckFile = [&](const std::string& file, std::string& stored, std::int32_t,
                             TLzhProcessMode mode) {
    EXPECT_EQ(mode, pmCompress);
    checked.push_back(stored);
    if (file == dir / "2.txt") stored = "renamed/two.txt";
    if (file == dir / "3.txt") stored = "*";
  };
  archiver.OnAfterProcessed = [&](const std::string& file, const std::string& stored, std::int32_t,
                                  TLzhProcessMode) { after.push_back(file + "=" + stored); };
  archiver.setFilesToProcess(
      {dir / "1.txt", dir / "missing.txt", dir / "2.txt", dir / "3.txt", dir / "4.txt"});
  archiver.Compress();
  EXPECT_EQ(checked, (std::vector<std::string>{"1.TXT", "2.TXT", "3.TXT"}));
  EXPECT_EQ(after, (std::vector<std::string>{dir / "1.txt=1.TXT", dir / "2.txt=RENAMED\\TWO.TXT"}));
  EXPECT_EQ(archiver.FilesToProcess(),
            (std::vector<std::string>{"1.TXT", "RENAMED\\TWO.TXT", dir / "4.txt"}));
  EXPECT_EQ(membersOf(dir / "a.lzh"), (std::vector<std::string>{"1.TXT", "RENAMED\\TWO.TXT"}));
}

TEST(ComponentCompress, ConfirmationAnswers) {
  TempFolder dir;
  writeFile(dir / "1.txt", "one");
  writeFile(dir / "2.txt", "two");
  struct Case {
    std::vector<TLzhConfirmAnswer> answers;
    std::vector<std::string> members;
  };
  using A = TLzhConfirmAnswer;
  const Case cases[] = {{{A::Yes, A::Yes}, {"1.TXT", "2.TXT"}},
                        {{A::No, A::Yes}, {"2.TXT"}},
                        {{A::Yes, A::Cancel}, {"1.TXT"}},
                        {{A::Cancel}, {}}};
  for (const Case& c : cases) {
    std::filesystem::remove(dir / "a.lzh");
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.Confirm = true;
    std::vector<std::string> questions;
    std::size_t asked = 0;
    archiver.OnConfirm = [&](const std::string& caption, const std::string& text) {
      EXPECT_EQ(caption, "Please confirm");
      questions.push_back(text);
      return c.answers[asked++];
    };
    archiver.setFilesToProcess({dir / "1.txt", dir / "2.txt"});
    archiver.Compress();
    EXPECT_EQ(questions[0], "Compress " + (dir / "1.txt") + " as 1.TXT?");
    EXPECT_EQ(membersOf(dir / "a.lzh"), c.members);
    if (c.members.empty()) {
      EXPECT_EQ(readBytes(dir / "a.lzh"), Bytes{0});
    }
  }
}

TEST(ComponentCompress, WithoutAHandlerConfirmationIsYes) {
  TempFolder dir;
  writeFile(dir / "1.txt", "one");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.Confirm = true;
  archiver.setFilesToProcess({dir / "1.txt"});
  archiver.Compress();
  EXPECT_EQ(membersOf(dir / "a.lzh"), std::vector<std::string>{"1.TXT"});
}

TEST(ComponentCompress, CannotAddTheArchiveToItself) {
  TempFolder dir;
  writeFile(dir / "a.txt", "a");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.setFilesToProcess({dir / "*.lzh"});
  try {
    archiver.Compress();
    ADD_FAILURE();
  } catch (const EStreamWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot add " + (dir / "a.lzh") + " to itself!");
  }
  EXPECT_FALSE(fileExists(dir / "a.lzh"));
  // The same file reached through another spelling of its path.
  compress(dir / "a.lzh", {dir / "a.txt"});
  const Bytes before = readBytes(dir / "a.lzh");
  archiver.AllowDuplicates = true;
  archiver.setFilesToProcess({dir / "./a.lzh"});
  EXPECT_THROW(archiver.Compress(), EStreamWriteError);
  EXPECT_EQ(readBytes(dir / "a.lzh"), before);
}

#ifndef _WIN32
TEST(ComponentCompress, UnreadableFileRaisesOrIsSkipped) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempFolder dir;
  writeFile(dir / "secret.txt", "s");
  writeFile(dir / "ok.txt", "ok");
  ::chmod((dir / "secret.txt").c_str(), 0);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.setFilesToProcess({dir / "secret.txt", dir / "ok.txt"});
  archiver.Compress();
  EXPECT_EQ(membersOf(dir / "a.lzh"), std::vector<std::string>{"OK.TXT"});
  archiver.ExceptionOnFileError = true;
  std::filesystem::remove(dir / "a.lzh");
  archiver.setFilesToProcess({dir / "secret.txt", dir / "ok.txt"});
  EXPECT_THROW(archiver.Compress(), EFileError);
  EXPECT_FALSE(fileExists(dir / "a.lzh"));
}
#endif

// Cancel on the progress report after the first 8 KB chunk of the second file.
TEST(ComponentCompress, CancelLeavesThePreviousArchiveAsItWas) {
  TempFolder dir;
  writeFile(dir / "old.txt", proseText(3, 20000));
  writeFile(dir / "big1.txt", proseText(4, 40000));
  writeFile(dir / "big2.txt", proseText(5, 40000));
  for (bool append : {false, true}) {
    for (bool byFlag : {false, true}) {
      compress(dir / "book.lzh", {dir / "old.txt"});
      const Bytes before = readBytes(dir / "book.lzh");
      TLzhArchiver archiver;
      archiver.ArchiveName = dir / "book.lzh";
      archiver.ArchiveType = caLHA;
      archiver.CompressionMethod = colh5;
      archiver.AllowDuplicates = append;
      int reports = 0;
      archiver.OnShowProgress = [&](int& percent) {
        if (++reports == 8) {
          if (byFlag)
            archiver.AbortFlag = true;
          else
            percent = -1;
        }
      };
      archiver.setFilesToProcess({dir / "big1.txt", dir / "big2.txt"});
      try {
        archiver.Compress();
        ADD_FAILURE() << append << byFlag;
      } catch (const ELzhOperationAborted& e) {
        EXPECT_STREQ(e.what(), "Operation cancelled");
      }
      EXPECT_EQ(readBytes(dir / "book.lzh"), before) << append << byFlag;
      EXPECT_FALSE(fileExists(dir / "book.$$$"));
      EXPECT_EQ(archiver.ProcessedFiles(), std::vector<std::string>{"big1.txt"});
    }
  }
}

#ifndef _WIN32
// A real write failure: a child process with a file-size limit (SIGXFSZ ignored, so writes
// fail with EFBIG) compresses into an existing archive. Exit codes: 0 the expected failure
// text, 1 another failure, 2 no failure at all.
int compressUnderSizeLimit(const std::string& archiveName, const std::string& input, bool append,
                           rlim_t limit) {
  pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl {
      limit, limit
    };
    ::setrlimit(RLIMIT_FSIZE, &rl);
    try {
      TLzhArchiver archiver;
      archiver.ArchiveName = archiveName;
      archiver.ArchiveType = caLHA;
      archiver.CompressionMethod = colh5;
      archiver.AllowDuplicates = append;
      archiver.setFilesToProcess({input});
      archiver.Compress();
      ::_exit(2);
    } catch (const ELzhInsufficientDiskSpace& e) {
      ::_exit(std::string(e.what()) == "Disk protected or full during compression" ? 0 : 1);
    } catch (...) {
      ::_exit(1);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(ComponentCompress, FullDiskKeepsThePreviousArchive) {
  TempFolder dir;
  writeFile(dir / "old.txt", proseText(6, 30000));
  writeFile(dir / "random.bin", randomBytes(7, 400000));
  for (bool append : {false, true}) {
    compress(dir / "book.lzh", {dir / "old.txt"});
    const Bytes before = readBytes(dir / "book.lzh");
    EXPECT_EQ(compressUnderSizeLimit(dir / "book.lzh", dir / "random.bin", append, 100000), 0)
        << append;
    EXPECT_EQ(readBytes(dir / "book.lzh"), before) << append;
    EXPECT_FALSE(fileExists(dir / "book.$$$")) << append;
  }
}
#endif

TEST(ComponentCompress, MethodsAndPasswordsRoundTrip) {
  TempFolder dir;
  const std::uint32_t seed = 20261208;
  const Bytes text = proseText(seed, 70000);
  const Bytes random = randomBytes(seed + 1, 20000);
  writeFile(dir / "text.txt", text);
  writeFile(dir / "random.bin", random);
  for (TLzhMethod method : {colh0, colh1, colh5}) {
    for (const std::string password : {"", "secret"}) {
      std::filesystem::remove(dir / "a.lzh");
      TLzhArchiver archiver;
      archiver.ArchiveName = dir / "a.lzh";
      archiver.ArchiveType = caLHA;
      archiver.CompressionMethod = method;
      archiver.Password = password;
      archiver.setFilesToProcess({dir / "text.txt", dir / "random.bin"});
      archiver.Compress();
      ASSERT_TRUE(archiver.Scan());
      EXPECT_EQ(archiver.FileInfoList()[0].Method, method) << "seed " << seed;
      EXPECT_EQ(archiver.FileInfoList()[0].Encrypted, !password.empty());
      EXPECT_EQ(archiver.FileInfoList()[1].Method, colh0) << "random data is stored";
      EXPECT_EQ(expandOne(dir, dir / "a.lzh", "text.txt", password), text)
          << "seed " << seed << " " << method;
      EXPECT_EQ(expandOne(dir, dir / "a.lzh", "random.bin", password), random) << "seed " << seed;
      if (password.empty()) continue;
      struct Case {
        std::string password;
        std::string text;
      };
      for (const Case& c : {Case{"", "File is encrypted -- password required"},
                            Case{"wrong", "Invalid password -- cannot decrypt file"}}) {
        try {
          expandOne(dir, dir / "a.lzh", "random.bin", c.password);
          ADD_FAILURE() << method << " " << c.password;
        } catch (const ELzhEncrypted& e) {
          EXPECT_EQ(std::string(e.what()), c.text) << method;
        }
      }
    }
  }
}

TEST(ComponentCompress, CompressionRatioAndElapsedTicks) {
  TempFolder dir;
  writeFile(dir / "zeros.bin", Bytes(100000, 0));
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.CompressionMethod = colh5;
  archiver.setFilesToProcess({dir / "zeros.bin"});
  archiver.Compress();
  ASSERT_TRUE(archiver.Scan());
  const TLzhFileInfo& info = archiver.FileInfoList()[0];
  EXPECT_EQ(archiver.CompressionRatio(), static_cast<int>(info.CompressedSize / (100000 / 100)));
  EXPECT_GE(archiver.ElapsedTicks(), 0);
}

}  // namespace
}  // namespace pagora
