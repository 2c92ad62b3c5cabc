// The file layer's mapped input and replacing writer: a file whose new contents equal the old is
// not touched, a changed one is replaced whole, and an abandoned write leaves the old file alone.
#include "common/file_access.h"
#include "common/mapped_file.h"
#include "common/replacing_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "temp_folder.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_ino;
}

TEST(ReplacingWriter, WritesOnlyWhatChanged) {
  struct Case {
    std::string old;
    std::vector<std::string> pieces;
    bool written;
  } cases[] = {
      {"abcdef", {"abc", "def"}, false},
      {"abcdef", {"abcdef"}, false},
      {"", {}, false},
      {"", {""}, false},
      {"abcdef", {"abc", "dEf"}, true},
      {"abcdef", {"abc"}, true},          // shorter: the end goes
      {"abcdef", {"abcdef", "g"}, true},  // longer
      {"abc", {"xbc"}, true},             // differs at once
      {"abc", {"", "ab", "", "c", ""}, false},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    const std::string file = dir / "f.txt";
    writeFile(file, c.old);
    const ino_t before = inodeOf(file);
    const std::string_view current = c.old;
    std::string expected;
    {
      ReplacingWriter out(file, &current);
      for (const std::string& piece : c.pieces) {
        out.write(piece);
        expected += piece;
      }
      EXPECT_EQ(out.commit(), c.written) << c.old << " -> " << expected;
    }
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(inodeOf(file) == before, !c.written) << c.old << " -> " << expected;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"f.txt"}) << "no temporary file stays";
  }
}

TEST(ReplacingWriter, AbandonedWriteKeepsTheOldFile) {
  TempFolder dir;
  const std::string file = dir / "f.txt";
  writeFile(file, "old text");
  const std::string_view current = "old text";
  {
    ReplacingWriter out(file, &current);
    out.write("new");
    out.write(std::string(600000, 'x'));  // past the buffer: part of it is on disk already
  }
  EXPECT_EQ(readFile(file), "old text");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"f.txt"});

  // Without the old contents everything is written, a new file too.
  ReplacingWriter fresh(dir / "new.txt", nullptr);
  fresh.write(std::string(300000, 'y'));
  EXPECT_TRUE(fresh.commit());
  EXPECT_EQ(readFile(dir / "new.txt"), std::string(300000, 'y'));
  EXPECT_THROW(ReplacingWriter(dir / "no/such/folder/f.txt", nullptr), EFileAccess);
}

TEST(MappedFile, BytesOfAnyFile) {
  TempFolder dir;
  writeFile(dir / "a.txt", std::string("a\0b\r\n", 5));
  writeFile(dir / "empty.txt", "");
  EXPECT_EQ(MappedFile(dir / "a.txt").bytes(), std::string_view("a\0b\r\n", 5));
  EXPECT_EQ(MappedFile(dir / "empty.txt").bytes(), "");
  EXPECT_THROW(MappedFile(dir / "missing.txt"), EFileAccess);
  EXPECT_THROW(MappedFile(dir.path().string()), EFileAccess);
}

// Callers decide on the kind and the error number, so a file failure must carry the right ones
// beside its unchanged message.
TEST(FileAccess, FailuresCarryTheirKindAndErrorNumber) {
  TempFolder dir;
  writeFile(dir / "a.txt", "a");
  struct Case {
    std::function<void()> run;
    std::string message;
    FailureKind kind;
    int error;
  } cases[] = {
      {[&] { readWholeFile(dir / "missing.txt"); },
       "Cannot open file " + (dir / "missing.txt") + ": " + std::strerror(ENOENT),
       FailureKind::NotFound, ENOENT},
      {[&] { writeFileReplacing(dir / "no/such.txt", "x"); },
       "Cannot create file " + (dir / "no/such.txt") + ": " + std::strerror(ENOENT),
       FailureKind::NotFound, ENOENT},
  };
  for (const Case& c : cases) {
    try {
      c.run();
      ADD_FAILURE() << c.message << ": no failure";
    } catch (const EFileAccess& e) {
      EXPECT_EQ(e.what(), c.message);
      EXPECT_EQ(e.kind(), c.kind) << c.message;
      EXPECT_EQ(e.systemError(), c.error) << c.message;
    }
  }
}

}  // namespace
}  // namespace pagora
