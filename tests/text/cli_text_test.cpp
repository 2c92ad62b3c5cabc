// pagora-cli text end to end: in-place changes, -o, reports and failures (skipped when the
// program has not been built).
#include <sys/wait.h>

#include <cstdio>

#include "tests/text/test_folder.h"

namespace pagora {
namespace {

using testing_support::ReadFile;
using testing_support::TestFolder;
using testing_support::WriteFile;

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";

struct Result {
  int status;
  std::string out;
};

// Runs pagora-cli with the arguments (no spaces in them), stdout captured, stderr dropped.
Result Cli(const std::string& arguments) {
  Result r{-1, {}};
  std::FILE* p = ::popen((kCli + " " + arguments + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, got);
  const int status = ::pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class CliText : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "pagora-cli not built";
  }
};

const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // Привет

TEST_F(CliText, RecodeInPlaceAndToAnotherFile) {
  TestFolder dir;
  WriteFile(dir / "dos.txt", "\x8F\xE0\xA8\xA2\xA5\xE2\n\xAC\xA8\xE0");  // Привет / мир in 866
  Result r = Cli("text recode --from 866 " + dir / "dos.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "dos.txt" + ": cp866 -> cp1251, 2 lines\n");
  EXPECT_EQ(ReadFile(dir / "dos.txt"), kPrivet1251 + "\r\n\xEC\xE8\xF0\r\n");

  const std::string koi =
      "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2! \xE4\xCF\xC2\xD2\xCF\xC5 \xD5\xD4\xD2\xCF.\r\n";
  WriteFile(dir / "koi.txt", koi);
  r = Cli("text recode " + dir / "koi.txt" + " -o " + dir / "win.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "win.txt" + ": koi8r -> cp1251, 1 lines\n");
  EXPECT_EQ(ReadFile(dir / "koi.txt"), koi) << "the input stays as it was";
  EXPECT_EQ(ReadFile(dir / "win.txt").substr(0, 6), kPrivet1251);

  r = Cli("text detect " + dir / "koi.txt" + " " + dir / "win.txt");
  EXPECT_EQ(r.out, dir / "koi.txt" + ": koi8r\n" + dir / "win.txt" + ": cp1251\n");
}

TEST_F(CliText, CleanUpCommands) {
  TestFolder dir;
  WriteFile(dir / "p.html", "<p>word <b>second</b>.\r\n");
  EXPECT_EQ(Cli("text strip-html " + dir / "p.html" + " -o " + dir / "p.txt").status, 0);
  EXPECT_EQ(ReadFile(dir / "p.txt"), "word \r\nsecond\r\n.\r\n");
  EXPECT_EQ(Cli("text reflow " + dir / "p.txt").status, 0);
  EXPECT_EQ(ReadFile(dir / "p.txt"), " word  second .\r\n");
  EXPECT_EQ(Cli("text collapse " + dir / "p.txt").status, 0);
  EXPECT_EQ(ReadFile(dir / "p.txt"), " word second .\r\n");

  WriteFile(dir / "s.txt", "aaaa\r\nbbbb\r\ncccc\r\n");
  const Result r = Cli("text split --chunk 12 " + dir / "s.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, dir / "s_1.txt\n" + dir / "s_2.txt\n" + "2 parts of about 12 bytes\n");
  EXPECT_EQ(ReadFile(dir / "s_1.txt"), "aaaa\r\nbbbb\r\n");
  EXPECT_EQ(ReadFile(dir / "s_2.txt"), "cccc\r\n");
}

TEST_F(CliText, FailuresChangeNothing) {
  TestFolder dir;
  WriteFile(dir / "a.txt", "a  b\r\n");
  EXPECT_EQ(Cli("text collapse " + dir / "missing.txt").status, 1);
  EXPECT_EQ(
      Cli("text collapse " + dir / "a.txt" + " " + dir / "a.txt" + " -o " + dir / "o.txt").status,
      1);
  EXPECT_EQ(Cli("text split --chunk 0 " + dir / "a.txt").status, 1);
  EXPECT_EQ(Cli("text recode --from latin1 " + dir / "a.txt").status,
            105);  // refused by the parser
  EXPECT_EQ(ReadFile(dir / "a.txt"), "a  b\r\n");
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace pagora
