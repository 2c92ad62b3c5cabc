// What a rebuild keeps and what a second run on the same archive may touch: a stop keeps every
// old member it did not replace, names are compared whole (letters of any case, Cyrillic and
// Latin-1 included), two processes on one archive, and files too large for the format.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstring>

#include "archive/lzh_errors.h"
#include "archive/lzharchiver.h"
#include "component_fixture.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::fileExists;
using testing_support::proseText;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

// Runs the test body inside a folder, so that list entries can be plain relative names as on
// a command line.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

void compress(const std::string& archiveName, const std::vector<std::string>& files) {
  TLzhArchiver archiver;
  archiver.ArchiveType = caLHA;
  archiver.CompressionMethod = colh5;
  archiver.ExceptionOnFileError = true;
  archiver.ArchiveName = archiveName;
  archiver.setFilesToProcess(files);
  archiver.Compress();
}

// Member name -> expanded bytes, in archive order.
std::vector<std::pair<std::string, Bytes>> contentsOf(const TempFolder& dir,
                                                      const std::string& archiveName) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  std::filesystem::remove_all(dir / "out");
  archiver.setTargetPath(dir / "out");
  archiver.MakeDirectories = true;
  std::vector<std::pair<std::string, Bytes>> out;
  archiver.OnAfterProcessed = [&](const std::string& member, const std::string& target,
                                  std::int32_t,
                                  TLzhProcessMode) { out.emplace_back(member, readBytes(target)); };
  archiver.Expand();
  return out;
}

TEST(RebuildStop, OldMembersThatWereNotReplacedStay) {
  TempFolder dir;
  InFolder here(dir.path().string());
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir / name, proseText(name[0], 3000));
  compress("book.lzh", {"a.txt", "b.txt", "c.txt"});
  const Bytes before = readBytes("book.lzh");
  const Bytes oldA = readBytes("a.txt"), oldB = readBytes("b.txt"), oldC = readBytes("c.txt");
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir / name, std::string("new ") + name);

  using A = TLzhConfirmAnswer;
  struct Case {
    const char* what;
    std::vector<A> answers;  // confirmation answers, in order (empty: no confirmation)
    int starAt;              // OnCheckFile answers "*" for this file (-1: never)
    std::vector<std::string> members;
    bool newA;
  };
  const Case cases[] = {
      {"Cancel at the first file", {A::Cancel}, -1, {"a.txt", "b.txt", "c.txt"}, false},
      {"* at the first file", {}, 0, {"a.txt", "b.txt", "c.txt"}, false},
      {"Cancel at the second file", {A::Yes, A::Cancel}, -1, {"a.txt", "b.txt", "c.txt"}, true},
      {"* at the second file", {}, 1, {"a.txt", "b.txt", "c.txt"}, true},
  };
  for (const Case& c : cases) {
    writeFile(dir / "book.lzh", before);
    TLzhArchiver archiver;
    archiver.ArchiveType = caLHA;
    archiver.CompressionMethod = colh5;
    archiver.ArchiveName = "book.lzh";
    archiver.Confirm = !c.answers.empty();
    std::size_t asked = 0;
    archiver.OnConfirm = [&](const std::string&, const std::string&) { return c.answers[asked++]; };
    int checked = 0;
    archiver.OnCheckFile = [&](const std::string&, std::string& stored, std::int32_t,
                               TLzhProcessMode) {
      if (checked++ == c.starAt) stored = "*";
    };
    archiver.setFilesToProcess({"a.txt", "b.txt", "c.txt"});
    archiver.Compress();
    const auto contents = contentsOf(dir, dir / "book.lzh");
    ASSERT_EQ(contents.size(), 3u) << c.what;
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(contents[i].first, c.members[i]) << c.what;
    EXPECT_EQ(contents[0].second, c.newA ? Bytes(readBytes("a.txt")) : oldA) << c.what;
    EXPECT_EQ(contents[1].second, oldB) << c.what;
    EXPECT_EQ(contents[2].second, oldC) << c.what;
    // Nothing replaced: the rebuilt archive is the old one byte for byte.
    if (!c.newA) {
      EXPECT_EQ(readBytes("book.lzh"), before) << c.what;
    }
    EXPECT_FALSE(fileExists("book.$$$")) << c.what;
  }
}

TEST(RebuildNames, ReplacedOnlyByTheSameNameInAnyCase) {
  TempFolder dir;
  InFolder here(dir.path().string());
  struct Case {
    std::vector<std::string> old;  // files of the first archive
    std::string added;             // the file added in the rebuild
    std::vector<std::string> members;
  };
  const Case cases[] = {
      // A name without extension is no wildcard for every extension.
      {{"README.TXT", "README"}, "readme", {"readme", "README.TXT"}},
      {{"README.TXT"}, "README", {"README", "README.TXT"}},
      {{"привет.txt", "other.txt"}, "ПРИВЕТ.TXT", {"ПРИВЕТ.TXT", "other.txt"}},
      {{"café.txt"}, "CAFÉ.TXT", {"CAFÉ.TXT"}},
      {{"ёлка.txt"}, "ЁЛКА.TXT", {"ЁЛКА.TXT"}},
      {{"a.txt"}, "A.TXT", {"A.TXT"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove("book.lzh");
    std::filesystem::create_directories("old");
    std::filesystem::create_directories("new");
    std::vector<std::string> paths;
    for (const std::string& name : c.old) {
      writeFile(dir / ("old/" + name), "old " + name);
      paths.push_back("old/" + name);
    }
    compress("book.lzh", paths);
    writeFile(dir / ("new/" + c.added), "new " + c.added);
    compress("book.lzh", {"new/" + c.added});
    std::vector<std::string> members;
    for (const auto& m : contentsOf(dir, dir / "book.lzh")) members.push_back(m.first);
    EXPECT_EQ(members, c.members) << c.added;
    std::filesystem::remove_all("old");
    std::filesystem::remove_all("new");
  }
}

// ---- Two processes on one archive ----
#ifndef _WIN32

// A child process that rebuilds (or appends to) the archive and stops at its second
// confirmation, after the first file is already in its temporary archive, until told to go on.
class HeldRun {
 public:
  HeldRun(const std::string& archiveName, const std::vector<std::string>& files, bool append) {
    if (::pipe(ready_) != 0 || ::pipe(go_) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready_[0]);
      ::close(go_[1]);
      int code = 0;
      try {
        TLzhArchiver archiver;
        archiver.ArchiveType = caLHA;
        archiver.CompressionMethod = colh5;
        archiver.AllowDuplicates = append;
        archiver.ArchiveName = archiveName;
        archiver.Confirm = true;
        int asked = 0;
        archiver.OnConfirm = [&](const std::string&, const std::string&) {
          if (++asked == 2) {
            char c = 'r';
            (void)!::write(ready_[1], &c, 1);
            (void)!::read(go_[0], &c, 1);
          }
          return TLzhConfirmAnswer::Yes;
        };
        archiver.setFilesToProcess(files);
        archiver.Compress();
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
    ::close(ready_[1]);
    ::close(go_[0]);
    char c = 0;
    held_ = ::read(ready_[0], &c, 1) == 1;
  }
  ~HeldRun() {
    if (pid_ > 0 && !finished_) finish();
  }
  bool held() const { return held_; }
  // Lets the child go on; its exit status (0: the compress succeeded).
  int finish() {
    finished_ = true;
    char c = 'g';
    (void)!::write(go_[1], &c, 1);
    ::close(go_[1]);
    ::close(ready_[0]);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
  }

 private:
  int ready_[2] = {-1, -1};
  int go_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool held_ = false;
  bool finished_ = false;
};

TEST(TwoRuns, SecondRunFailsAtOnceAndTouchesNothing) {
  TempFolder dir;
  writeFile(dir / "old.txt", proseText(1, 20000));
  writeFile(dir / "1.txt", proseText(2, 30000));
  writeFile(dir / "2.txt", proseText(3, 30000));
  writeFile(dir / "3.txt", proseText(4, 30000));
  for (bool firstAppends : {false, true}) {
    for (bool secondAppends : {false, true}) {
      const std::string what = std::string(firstAppends ? "append" : "rebuild") + " then " +
                               (secondAppends ? "append" : "rebuild");
      std::filesystem::remove(dir / "book.lzh");
      compress(dir / "book.lzh", {dir / "old.txt"});
      const Bytes before = readBytes(dir / "book.lzh");
      HeldRun first(dir / "book.lzh", {dir / "1.txt", dir / "2.txt"}, firstAppends);
      ASSERT_TRUE(first.held()) << what;
      const std::string work = firstAppends ? dir / "book.lzh" : dir / "book.$$$";
      const Bytes inProgress = readBytes(work);
      ASSERT_GT(inProgress.size(), 1000u) << what;

      TLzhArchiver second;
      second.ArchiveType = caLHA;
      second.CompressionMethod = colh5;
      second.AllowDuplicates = secondAppends;
      second.ArchiveName = dir / "book.lzh";
      second.setFilesToProcess({dir / "3.txt"});
      bool progress = false;
      second.OnShowProgress = [&](int&) { progress = true; };
      try {
        second.Compress();
        ADD_FAILURE() << what << ": the second run went through";
      } catch (const EFileError& e) {
        EXPECT_NE(dynamic_cast<const EFileInUse*>(&e), nullptr) << what;
        EXPECT_EQ(std::string(e.what()), (dir / "book.lzh") + " is in use by another program")
            << what;
      }
      EXPECT_FALSE(progress) << what;
      EXPECT_EQ(readBytes(work), inProgress) << what;
      if (!firstAppends) {
        EXPECT_EQ(readBytes(dir / "book.lzh"), before) << what;
      }

      EXPECT_EQ(first.finish(), 0) << what;
      std::vector<std::string> members;
      for (const auto& m : contentsOf(dir, dir / "book.lzh")) members.push_back(m.first);
      const std::vector<std::string> expected =
          firstAppends ? std::vector<std::string>{"old.txt", "1.txt", "2.txt"}
                       : std::vector<std::string>{"1.txt", "2.txt", "old.txt"};
      EXPECT_EQ(members, expected) << what;
      EXPECT_FALSE(fileExists(dir / "book.$$$")) << what;
    }
  }
}

TEST(TwoRuns, NewArchiveMadeMeanwhileIsNotOverwritten) {
  TempFolder dir;
  writeFile(dir / "1.txt", proseText(2, 30000));
  writeFile(dir / "2.txt", proseText(3, 30000));
  HeldRun first(dir / "book.lzh", {dir / "1.txt", dir / "2.txt"}, false);
  ASSERT_TRUE(first.held());
  const Bytes inProgress = readBytes(dir / "book.lzh");
  TLzhArchiver second;
  second.ArchiveName = dir / "book.lzh";
  second.setFilesToProcess({dir / "2.txt"});
  EXPECT_THROW(second.Compress(), EFileError);
  EXPECT_EQ(readBytes(dir / "book.lzh"), inProgress);
  EXPECT_EQ(first.finish(), 0);
  EXPECT_EQ(contentsOf(dir, dir / "book.lzh").size(), 2u);
}

#endif

// ---- Sizes the headers cannot hold ----

TEST(LargeFiles, FourGibibytesOrMoreAreRefusedBeforeTheyAreRead) {
  TempFolder dir;
  writeFile(dir / "small.txt", proseText(9, 5000));
  writeFile(dir / "old.txt", proseText(8, 5000));
  {
    // Sparse: takes no room on the disk.
    writeFile(dir / "huge.bin", "");
    std::filesystem::resize_file(dir / "huge.bin", (std::uintmax_t{4} << 30) + 1000);
  }
  struct Case {
    const char* what;
    bool existing;
    bool append;
  };
  for (const Case& c :
       {Case{"new", false, false}, Case{"rebuild", true, false}, Case{"append", true, true}}) {
    std::filesystem::remove(dir / "book.lzh");
    if (c.existing) compress(dir / "book.lzh", {dir / "old.txt"});
    const Bytes before = c.existing ? readBytes(dir / "book.lzh") : Bytes{};
    TLzhArchiver archiver;
    archiver.ArchiveType = caLHA;
    archiver.CompressionMethod = colh5;
    archiver.AllowDuplicates = c.append;
    archiver.ArchiveName = dir / "book.lzh";
    bool smallDone = false, hugeRead = false;
    archiver.OnAfterProcessed = [&](const std::string&, const std::string&, std::int32_t,
                                    TLzhProcessMode) { smallDone = true; };
    archiver.OnShowProgress = [&](int&) {
      if (smallDone) hugeRead = true;
    };
    archiver.setFilesToProcess({dir / "small.txt", dir / "huge.bin"});
    try {
      archiver.Compress();
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const EFileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot add " + (dir / "huge.bin") +
                    ": files of 4 GiB or more do not fit in an LZH archive (its sizes are 32 bits)")
          << c.what;
    }
    EXPECT_TRUE(smallDone) << c.what;
    EXPECT_FALSE(hugeRead) << c.what;
    EXPECT_EQ(fileExists(dir / "book.lzh"), c.existing) << c.what;
    if (c.existing) {
      EXPECT_EQ(readBytes(dir / "book.lzh"), before) << c.what;
    }
    EXPECT_FALSE(fileExists(dir / "book.$$$")) << c.what;
  }
}

}  // namespace
}  // namespace pagora
