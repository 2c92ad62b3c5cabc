// Loading and saving text buffers: line splitting, CR LF output, safe replacement.
#include "text/text_buffer.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>

#include "temp_folder.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(TextBuffer, SplitsAtEveryKindOfLineEnd) {
  struct Case {
    std::string bytes;
    TextBuffer lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\n", {"a"}},
      {"a\r", {"a"}},
      {"\r\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\r\nb", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR is two breaks
      {"a\r\n\nb\r", {"a", "", "b"}},
      {std::string("a\0b\r\nc", 6), {std::string("a\0b", 3), "c"}},
      {"\xCF\xF0\xE8\r\n\xE2\xE5\xF2", {"\xCF\xF0\xE8", "\xE2\xE5\xF2"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(splitLines(c.bytes), c.lines) << testing::PrintToString(c.bytes);
}

TEST(TextBuffer, JoinsWithCrLfAfterEveryLine) {
  EXPECT_EQ(joinLines({}), "");
  EXPECT_EQ(joinLines({""}), "\r\n");
  EXPECT_EQ(joinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(TextBuffer, SaveAndLoadRoundTrip) {
  TempFolder dir;
  const std::string file = dir / "book.txt";
  writeFile(file, "one\ntwo\r\rthree");
  TextBuffer lines = loadTextFile(file);
  EXPECT_EQ(lines, (TextBuffer{"one", "two", "", "three"}));
  lines.push_back("\xC0\xE1\xE2");
  saveTextFile(file, lines);
  EXPECT_EQ(readFile(file), "one\r\ntwo\r\n\r\nthree\r\n\xC0\xE1\xE2\r\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"book.txt"}) << "no temporary file is left";
}

#ifndef _WIN32
TEST(TextBuffer, SaveKeepsPermissionsAndWritesThroughLinks) {
  TempFolder dir;
  const std::string file = dir / "a.txt";
  writeFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  const std::string link = dir / "link.txt";
  std::filesystem::create_symlink(file, link);
  saveTextFile(link, {"new"});
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(file), "new\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}
#endif

TEST(TextBuffer, FailuresNameTheFileAndLoseNothing) {
  TempFolder dir;
  const std::string missing = dir / "missing.txt";
  try {
    loadTextFile(missing);
    FAIL() << "loading a missing file succeeded";
  } catch (const ETextFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing + ": No such file or directory");
  }
  EXPECT_THROW(loadTextFile(dir.path().string()), ETextFileError);  // a folder is no text

  // A save into a folder that does not exist fails and creates nothing.
  EXPECT_THROW(saveTextFile(dir / "no/such/file.txt", {"x"}), ETextFileError);
  // A save over a folder fails and leaves the folder and its contents alone.
  std::filesystem::create_directory(dir / "sub");
  writeFile(dir / "sub/keep.txt", "keep");
  EXPECT_THROW(saveTextFile(dir / "sub", {"x"}), ETextFileError);
  EXPECT_EQ(readFile(dir / "sub/keep.txt"), "keep");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"sub"});
}

#ifndef _WIN32
TEST(TextBuffer, WriteFailingMidwayLeavesTheOldFile) {
  TempFolder dir;
  const std::string file = dir / "good.txt";
  writeFile(file, "good text\r\n");
  // A file size limit makes the write fail part way, as a full disk would.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  try {
    saveTextFile(file, TextBuffer(1000, std::string(100, 'x')));
  } catch (const ETextFileError& e) {
    error = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error.rfind("Cannot write file " + file + ": ", 0), 0u) << error;
  EXPECT_EQ(readFile(file), "good text\r\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"good.txt"});
}
#endif

}  // namespace
}  // namespace pagora
