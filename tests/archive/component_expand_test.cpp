// TLzhArchiver::Expand and Verify: selection, targets, events, SafeMode, VerifyMode, cancel,
// time stamps and attributes, and what survives a bad member.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "lzh_names.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::fileExists;
using testing_support::listTree;
using testing_support::proseText;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

// Builds book.lzh (level 1, "-lh5-") holding BOOK\ONE.TXT, BOOK\TWO.TXT and NOTES.DOC.
std::string makeBook(const TempFolder& dir) {
  writeFile(dir / "src/BOOK/ONE.TXT", proseText(11, 30000));
  writeFile(dir / "src/BOOK/TWO.TXT", proseText(12, 12000));
  writeFile(dir / "src/NOTES.DOC", "notes");
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "book.lzh";
  archiver.ArchiveType = caLHA;
  archiver.CompressionMethod = colh5;
  archiver.StorePath = true;
  archiver.setTargetPath(dir / "src");
  archiver.setFilesToProcess(
      {dir / "src/BOOK/ONE.TXT", dir / "src/BOOK/TWO.TXT", dir / "src/NOTES.DOC"});
  archiver.Compress();
  return dir / "book.lzh";
}

TEST(ComponentExpand, SelectionByPatternAndFolder) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  struct Case {
    std::vector<std::string> patterns;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {{}, {"BOOK", "BOOK/ONE.TXT", "BOOK/TWO.TXT", "NOTES.DOC"}},
      {{"book\\*.txt"}, {"BOOK", "BOOK/ONE.TXT", "BOOK/TWO.TXT"}},
      {{"BOOK/t*"}, {"BOOK", "BOOK/TWO.TXT"}},
      {{"*.*"}, {"NOTES.DOC"}},
      {{"notes.doc", "BOOK\\ONE.TXT"}, {"BOOK", "BOOK/ONE.TXT", "NOTES.DOC"}},
      {{"ONE.TXT"}, {}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir / "out");
    TLzhArchiver archiver;
    archiver.ArchiveName = book;
    archiver.MakeDirectories = true;
    archiver.setTargetPath(dir / "out");
    archiver.setFilesToProcess(c.patterns);
    archiver.Expand();
    std::vector<std::string> written =
        fileExists(dir / "out") ? listTree(dir / "out") : std::vector<std::string>{};
    EXPECT_EQ(written, c.written) << (c.patterns.empty() ? "" : c.patterns[0]);
    if (!c.patterns.empty()) {
      EXPECT_EQ(archiver.FilesToProcess(), archiver.ProcessedFiles());
    }
  }
  EXPECT_EQ(readBytes(dir / "out/BOOK/ONE.TXT"), Bytes{});
  std::filesystem::remove_all(dir / "out");
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  archiver.MakeDirectories = true;
  archiver.setTargetPath(dir / "out");
  archiver.Expand();
  EXPECT_EQ(readBytes(dir / "out/BOOK/ONE.TXT"), readBytes(dir / "src/BOOK/ONE.TXT"));
  EXPECT_EQ(archiver.ProcessedFiles(),
            (std::vector<std::string>{dir / "out/BOOK/ONE.TXT", dir / "out/BOOK/TWO.TXT",
                                      dir / "out/NOTES.DOC"}));
  EXPECT_EQ(archiver.FileInformationIndex(), 2);
}

TEST(ComponentExpand, EventsConfirmationAndStop) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  archiver.MakeDirectories = true;
  archiver.setTargetPath(dir / "out");
  archiver.Confirm = true;
  std::vector<std::string> log;
  archiver.OnCheckFile = [&](const std::string& member, std::string& target, std::int32_t,
                             TLzhProcessMode mode) {
    EXPECT_EQ(mode, pmExpand);
    log.push_back("check " + member);
    if (member == "NOTES.DOC") target = dir / "out/renamed.doc";
  };
  archiver.OnConfirm = [&](const std::string&, const std::string& text) {
    log.push_back(text);
    return text.find("TWO") != std::string::npos ? TLzhConfirmAnswer::No : TLzhConfirmAnswer::Yes;
  };
  archiver.OnAfterProcessed = [&](const std::string& member, const std::string& target,
                                  std::int32_t, TLzhProcessMode) {
    log.push_back("done " + member + " " + target);
  };
  archiver.Expand();
  const std::vector<std::string> expected = {
      "check BOOK\\ONE.TXT",
      "Expand BOOK\\ONE.TXT to " + (dir / "out/BOOK/ONE.TXT") + "?",
      "done BOOK\\ONE.TXT " + (dir / "out/BOOK/ONE.TXT"),
      "check BOOK\\TWO.TXT",
      "Expand BOOK\\TWO.TXT to " + (dir / "out/BOOK/TWO.TXT") + "?",
      "check NOTES.DOC",
      "Expand NOTES.DOC to " + (dir / "out/renamed.doc") + "?",
      "done NOTES.DOC " + (dir / "out/renamed.doc"),
  };
  EXPECT_EQ(log, expected);
  EXPECT_EQ(listTree(dir / "out"),
            (std::vector<std::string>{"BOOK", "BOOK/ONE.TXT", "renamed.doc"}));
}

TEST(ComponentExpand, VerifyWritesNothingAndUsesItsOwnQuestion) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  std::filesystem::create_directories(dir / "out/BOOK");
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  archiver.setTargetPath(dir / "out");
  archiver.Confirm = true;
  std::vector<std::string> questions;
  archiver.OnConfirm = [&](const std::string&, const std::string& text) {
    questions.push_back(text);
    return TLzhConfirmAnswer::Yes;
  };
  archiver.Verify();
  EXPECT_FALSE(archiver.VerifyMode);
  EXPECT_EQ(questions[0], "Verify archive integrity of BOOK\\ONE.TXT?");
  EXPECT_EQ(archiver.ProcessedFiles().size(), 3u);
  EXPECT_EQ(listTree(dir / "out"), std::vector<std::string>{"BOOK"});
}

// Flips one byte of the first member's coded data.
void corruptFirstMember(const std::string& book) {
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  ASSERT_TRUE(archiver.Scan());
  Bytes bytes = readBytes(book);
  bytes[archiver.FileInfoList()[0].DataOffset + 100] ^= 0x55;
  writeFile(book, bytes);
}

TEST(ComponentExpand, BadMemberInPlaceStaysThroughTemporaryFileDoesNot) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  corruptFirstMember(book);
  for (bool safe : {false, true}) {
    std::filesystem::remove_all(dir / "out");
    writeFile(dir / "out/BOOK/ONE.TXT", "previous contents");
    TLzhArchiver archiver;
    archiver.ArchiveName = book;
    archiver.SafeMode = safe;
    archiver.setTargetPath(dir / "out");
    try {
      archiver.Expand();
      ADD_FAILURE() << safe;
    } catch (const Exception& e) {
      const std::string text = e.what();
      EXPECT_TRUE(text == "Bad CRC during expansion -- data may be invalid" ||
                  text == "Bad decode table in archive!")
          << text;
    }
    EXPECT_TRUE(archiver.ProcessedFiles().empty());
    EXPECT_EQ(listTree(dir / "out"), (std::vector<std::string>{"BOOK", "BOOK/ONE.TXT"})) << safe;
    if (safe) {
      const std::string previous = "previous contents";
      EXPECT_EQ(readBytes(dir / "out/BOOK/ONE.TXT"), Bytes(previous.begin(), previous.end()));
    } else {
      EXPECT_NE(readBytes(dir / "out/BOOK/ONE.TXT").size(), 17u);
    }
  }
}

TEST(ComponentExpand, SafeModeReplacesTheTargetAndLeavesNoTemporaryFile) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  writeFile(dir / "out/NOTES.DOC", "older notes");
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  archiver.SafeMode = true;
  archiver.MakeDirectories = true;
  archiver.setTargetPath(dir / "out");
  archiver.Expand();
  EXPECT_EQ(readBytes(dir / "out/NOTES.DOC"), readBytes(dir / "src/NOTES.DOC"));
  EXPECT_EQ(listTree(dir / "out"),
            (std::vector<std::string>{"BOOK", "BOOK/ONE.TXT", "BOOK/TWO.TXT", "NOTES.DOC"}));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "out/NOTES.DOC").c_str(), &st), 0);
  mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(ComponentExpand, CancelReturnsWithTheNamesDoneAndRemovesThePartialFile) {
  TempFolder dir;
  writeFile(dir / "a.txt", proseText(21, 5000));
  writeFile(dir / "big.txt", proseText(22, 60000));
  writeFile(dir / "c.txt", proseText(23, 5000));
  TLzhArchiver maker;
  maker.ArchiveName = dir / "a.lzh";
  maker.CompressionMethod = colh5;
  maker.setFilesToProcess({dir / "a.txt", dir / "big.txt", dir / "c.txt"});
  maker.Compress();
  for (bool safe : {false, true}) {
    std::filesystem::remove_all(dir / "out");
    std::filesystem::create_directories(dir / "out");
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.SafeMode = safe;
    archiver.setTargetPath(dir / "out");
    int reports = 0;
    archiver.OnShowProgress = [&](int& percent) {
      if (++reports == 5) percent = -1;  // inside the second member
    };
    archiver.Expand();
    EXPECT_EQ(archiver.ProcessedFiles(), std::vector<std::string>{dir / "out/A.TXT"});
    EXPECT_EQ(listTree(dir / "out"), std::vector<std::string>{"A.TXT"}) << safe;
  }
}

TEST(ComponentExpand, TimeStampAndReadOnlyAttributeAreRestored) {
  TempFolder dir;
  writeFile(dir / "ro.txt", "read only text");
  const std::time_t when =
      lzhUnixTime((44u << 25) | (7u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 10u);
  struct timespec times[2] = {{when, 0}, {when, 0}};
  ::utimensat(AT_FDCWD, (dir / "ro.txt").c_str(), times, 0);
  ::chmod((dir / "ro.txt").c_str(), 0444);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.setFilesToProcess({dir / "ro.txt"});
  archiver.Compress();
  ASSERT_TRUE(archiver.Scan());
  EXPECT_EQ(archiver.FileInfoList()[0].DateTime,
            (44u << 25) | (7u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 10u);
  archiver.setFilesToProcess({});
  archiver.setTargetPath(dir / "out");
  archiver.MakeDirectories = true;
  archiver.Expand();
  struct stat st {};
  ASSERT_EQ(::stat((dir / "out/RO.TXT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, when);
  EXPECT_EQ(st.st_mode & 0222, 0u);
}

TEST(ComponentExpand, MissingArchiveAndFolderFailures) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "missing.lzh";
  EXPECT_THROW(archiver.Expand(), EFileError);
  // Without MakeDirectories a missing folder fails the member, or skips it on request.
  archiver.ArchiveName = book;
  archiver.setTargetPath(dir / "nowhere");
  archiver.ExceptionOnFileError = true;
  try {
    archiver.Expand();
    ADD_FAILURE();
  } catch (const EFileError& e) {
    // The fixed text, then the system's reason.
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir / "nowhere/BOOK/ONE.TXT") +
                                         ": No such file or directory");
  }
  archiver.ExceptionOnFileError = false;
  archiver.Expand();
  EXPECT_TRUE(archiver.ProcessedFiles().empty());
  EXPECT_FALSE(fileExists(dir / "nowhere"));
}

TEST(ComponentExpand, SpaceCheckPassesWhenThereIsRoom) {
  TempFolder dir;
  const std::string book = makeBook(dir);
  TLzhArchiver archiver;
  archiver.ArchiveName = book;
  archiver.CheckSpaceBeforeExpand = true;
  archiver.MakeDirectories = true;
  archiver.setTargetPath(dir / "out");
  archiver.Expand();
  EXPECT_EQ(archiver.ProcessedFiles().size(), 3u);
}

}  // namespace
}  // namespace pagora
