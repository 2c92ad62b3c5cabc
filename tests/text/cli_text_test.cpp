// pagora-cli text end to end: in-place changes, -o, reports and failures (skipped when the
// program has not been built).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>

#include "temp_folder.h"
#include "text/recode.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";

struct Result {
  int status;
  std::string out;
};

// Runs pagora-cli with the arguments (no spaces in them), stdout captured, stderr dropped (or
// captured too).
Result Cli(const std::string& arguments, bool withErrors = false) {
  Result r{-1, {}};
  std::FILE* p =
      ::popen((kCli + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, got);
  const int status = ::pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Runs pagora-cli with stdout and stderr together.
Result cliAll(const std::string& arguments) {
  return Cli(arguments, true);
}

std::string confidence(const std::string& text) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.2f", guessCodePage(text).confidence);
  return buffer;
}

// What tells a rewritten file from one left alone: contents, modification time and inode.
struct FileState {
  std::string bytes;
  std::int64_t mtimeNs;
  ino_t inode;
  bool operator==(const FileState&) const = default;
};

FileState stateOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return {readFile(path), st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, st.st_ino};
}

// Writes a file dated in 2001, so that any rewrite shows in its time.
void writeOldFile(const std::string& path, const std::string& bytes) {
  writeFile(path, bytes);
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class CliText : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "pagora-cli not built";
  }
};

const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // Привет

TEST_F(CliText, RecodeInPlaceAndToAnotherFile) {
  TempFolder dir;
  writeFile(dir / "dos.txt", "\x8F\xE0\xA8\xA2\xA5\xE2\n\xAC\xA8\xE0");  // Привет / мир in 866
  Result r = Cli("text recode --from 866 " + dir / "dos.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "dos.txt" + ": cp866 -> cp1251, 2 lines\n");
  EXPECT_EQ(readFile(dir / "dos.txt"), kPrivet1251 + "\n\xEC\xE8\xF0") << "byte for byte";

  const std::string koi =
      "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2! \xE4\xCF\xC2\xD2\xCF\xC5 \xD5\xD4\xD2\xCF.\r\n";
  writeFile(dir / "koi.txt", koi);
  r = Cli("text recode " + dir / "koi.txt" + " -o " + dir / "win.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "win.txt" + ": koi8r -> cp1251, 1 lines\n");
  EXPECT_EQ(readFile(dir / "koi.txt"), koi) << "the input stays as it was";
  EXPECT_EQ(readFile(dir / "win.txt").substr(0, 6), kPrivet1251);

  r = Cli("text detect " + dir / "koi.txt" + " " + dir / "win.txt");
  EXPECT_EQ(r.out, dir / "koi.txt" + ": koi8r, confidence " + confidence(koi) + "\n" +
                       dir / "win.txt" + ": cp1251, confidence " +
                       confidence(readFile(dir / "win.txt")) + "\n");
}

TEST_F(CliText, CleanUpCommands) {
  TempFolder dir;
  writeFile(dir / "p.html", "<p>word <b>second</b>.\r\n");
  EXPECT_EQ(Cli("text strip-html " + dir / "p.html" + " -o " + dir / "p.txt").status, 0);
  EXPECT_EQ(readFile(dir / "p.txt"), "word \r\nsecond\r\n.\r\n");
  EXPECT_EQ(Cli("text reflow " + dir / "p.txt").status, 0);
  EXPECT_EQ(readFile(dir / "p.txt"), " word  second .\r\n");
  EXPECT_EQ(Cli("text collapse " + dir / "p.txt").status, 0);
  EXPECT_EQ(readFile(dir / "p.txt"), " word second .\r\n");

  writeFile(dir / "s.txt", "aaaa\r\nbbbb\r\ncccc\r\n");
  const Result r = Cli("text split --chunk 12 " + dir / "s.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "s_1.txt\n" + dir / "s_2.txt\n" + "2 parts of about 12 bytes\n");
  EXPECT_EQ(readFile(dir / "s_1.txt"), "aaaa\r\nbbbb\r\n");
  EXPECT_EQ(readFile(dir / "s_2.txt"), "cccc\r\n");
}

TEST_F(CliText, FailuresChangeNothing) {
  TempFolder dir;
  writeFile(dir / "a.txt", "a  b\r\n");
  EXPECT_EQ(Cli("text collapse " + dir / "missing.txt").status, 1);
  // A request that cannot be carried out as asked is a usage error (2), like a bad option.
  for (const std::string command : {"collapse", "recode", "tidy"})
    EXPECT_EQ(
        Cli("text " + command + " " + dir / "a.txt" + " " + dir / "a.txt" + " -o " + dir / "o.txt")
            .status,
        2)
        << command;
  EXPECT_EQ(Cli("text split --chunk 0 " + dir / "a.txt").status, 2);
  EXPECT_EQ(Cli("text recode --from latin1 " + dir / "a.txt").status, 2);
  EXPECT_EQ(readFile(dir / "a.txt"), "a  b\r\n");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"a.txt"});
}

// Recoding maps bytes and nothing else: whatever line ends the file has, it keeps.
TEST_F(CliText, RecodeKeepsLineEnds) {
  TempFolder dir;
  const std::string privet866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
  const std::string cases[] = {
      privet866 + "\n" + privet866 + "\n",
      privet866 + "\r\n" + privet866 + "\r\n",
      privet866 + "\r\n" + privet866 + "\n" + privet866 + "\r" + privet866,
      privet866 + "\n\n\r\r\n",
      privet866,
  };
  for (const std::string& text : cases) {
    writeFile(dir / "a.txt", text);
    EXPECT_EQ(Cli("text recode --from 866 " + dir / "a.txt").status, 0);
    EXPECT_EQ(readFile(dir / "a.txt"), DosToWin(text)) << testing::PrintToString(text);
    EXPECT_EQ(Cli("text recode --from 866 " + dir / "a.txt" + " -o " + dir / "b.txt").status, 0);
    EXPECT_EQ(readFile(dir / "b.txt"), DosToWin(DosToWin(text)));
  }
  // UTF-8 shrinks, but the line ends stay too (and the byte order mark goes).
  writeFile(dir / "u.txt", "\xEF\xBB\xBF\xD0\xB4\xD0\xB0\n\xD0\xBD\xD0\xB5\xD1\x82\r");
  EXPECT_EQ(Cli("text recode --from utf8 " + dir / "u.txt").status, 0);
  EXPECT_EQ(readFile(dir / "u.txt"), "\xE4\xE0\n\xED\xE5\xF2\r");
}

// A file that needs no change is not written again: same bytes, same time, same inode.
TEST_F(CliText, FilesThatNeedNoChangeAreLeftAlone) {
  TempFolder dir;
  const std::string capitals1251 = utf8ToWin("ВНИМАНИЕ! СРОЧНО ПРОЧИТАЙТЕ ЭТО СООБЩЕНИЕ.\n");
  struct Case {
    std::string bytes, arguments, report;
  } cases[] = {
      {"plain ASCII\n", "text recode --from 866",
       ": cp866 -> cp1251, nothing to change, left "
       "as it is, 1 lines\n"},
      {"plain ASCII\n", "text recode", ": ascii, left as it is, 1 lines\n"},
      {capitals1251, "text recode --from auto", ": cp1251, left as it is, 1 lines\n"},
      {"a b\r\nc\r\n", "text collapse", ": 2 lines, left as it is\n"},
  };
  for (const Case& c : cases) {
    const std::string file = dir / "same.txt";
    writeOldFile(file, c.bytes);
    const FileState before = stateOf(file);
    const Result r = Cli(c.arguments + " " + file);
    EXPECT_EQ(r.status, 0) << c.arguments;
    EXPECT_EQ(r.out, file + c.report) << c.arguments;
    EXPECT_EQ(stateOf(file), before) << c.arguments;
  }
}

// --from auto recodes in place only on a sure guess; -o or --force take an unsure one.
TEST_F(CliText, AutoRefusesAnUnsureGuessInPlace) {
  TempFolder dir;
  const std::string yozh = utf8ToWin("Ёж\r\n");
  ASSERT_FALSE(isConfident(guessCodePage(yozh)));
  const std::string file = dir / "yozh.txt";
  writeOldFile(file, yozh);
  const FileState before = stateOf(file);
  Result r = cliAll("text recode " + file);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "pagora-cli: text recode: cannot tell the code page of " + file +
                       " with confidence; give --from\n");
  EXPECT_EQ(stateOf(file), before);

  r = Cli("text recode " + file + " -o " + dir / "out.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(dir / "out.txt" + ": cp1251 (a guess, confidence ", 0), 0u) << r.out;
  EXPECT_EQ(readFile(dir / "out.txt"), yozh);
  EXPECT_EQ(Cli("text recode --force " + file).status, 0);
  EXPECT_EQ(readFile(file), yozh);

  // All capitals used to read as KOI8-R and came out as small letters.
  const std::string capitals = utf8ToWin("ВНИМАНИЕ! СРОЧНО ПРОЧИТАЙТЕ ЭТО СООБЩЕНИЕ.\r\n");
  for (CodePage page : {CodePage::Cp866, CodePage::Koi8r}) {
    const std::string encoded = page == CodePage::Cp866
                                    ? std::string(
                                          "\x82\x8D\x88\x8C\x80\x8D\x88\x85! "
                                          "\x91\x90\x8E\x97\x8D\x8E \x8F\x90\x8E"
                                          "\x97\x88\x92\x80\x89\x92\x85 \x9D\x92"
                                          "\x8E \x91\x8E\x8E\x81\x99\x85\x8D\x88"
                                          "\x85.\r\n")
                                    : std::string(
                                          "\xF7\xEE\xE9\xED\xE1\xEE\xE9\xE5! "
                                          "\xF3\xF2\xEF\xFE\xEE\xEF \xF0\xF2\xEF"
                                          "\xFE\xE9\xF4\xE1\xEA\xF4\xE5 \xFC\xF4"
                                          "\xEF \xF3\xEF\xEF\xE2\xFD\xE5\xEE\xE9"
                                          "\xE5.\r\n");
    ASSERT_EQ(toWin(encoded, page), capitals) << codePageName(page);
    writeFile(file, encoded);
    EXPECT_EQ(Cli("text recode " + file).status, 0) << codePageName(page);
    EXPECT_EQ(readFile(file), capitals) << codePageName(page);
  }
}

TEST_F(CliText, DetectTellsHowSure) {
  TempFolder dir;
  writeFile(dir / "yozh.txt", utf8ToWin("Ёж"));
  writeFile(dir / "ascii.txt", "hello\n");
  const Result r = Cli("text detect " + dir / "yozh.txt" + " " + dir / "ascii.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "yozh.txt" + ": cp1251, confidence " + confidence(utf8ToWin("Ёж")) +
                       " (unsure)\n" + dir / "ascii.txt" + ": ascii, confidence 1.00\n");
}

}  // namespace
}  // namespace pagora
