// `pagora-cli lzh a` as separate processes on one archive: a second run while the first waits
// at a question fails at once saying the archive is in use, and a "q" answer keeps the old
// members. Skipped when the program has not been built.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "archive/lzharchiver.h"
#include "component_fixture.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::proseText;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";

// A pagora-cli process with its standard input and error on pipes.
class Cli {
 public:
  Cli(const std::string& folder, const std::vector<std::string>& args) {
    int in[2], err[2];
    if (::pipe(in) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(err[1], 2);
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, 1);
      ::close(in[1]);
      ::close(err[0]);
      if (::chdir(folder.c_str()) != 0) ::_exit(127);
      std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(kCli.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(err[1]);
    in_ = in[1];
    err_ = err[0];
  }
  ~Cli() {
    if (in_ >= 0) ::close(in_);
    if (pid_ > 0) wait();
    if (err_ >= 0) ::close(err_);
  }
  // Reads standard error until `text` has appeared (false after 60 s or at its end).
  bool waitFor(const std::string& text, int count = 1) {
    for (int spins = 0; spins < 600; ++spins) {
      std::size_t seen = 0;
      for (std::size_t at = errors_.find(text); at != std::string::npos;
           at = errors_.find(text, at + 1))
        ++seen;
      if (seen >= static_cast<std::size_t>(count)) return true;
      pollfd p{err_, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        char buffer[512];
        const ssize_t got = ::read(err_, buffer, sizeof buffer);
        if (got <= 0) return false;
        errors_.append(buffer, static_cast<std::size_t>(got));
      }
    }
    return false;
  }
  void answer(const std::string& line) { (void)!::write(in_, line.data(), line.size()); }
  int wait() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int err_ = -1;
  std::string errors_;
};

struct Result {
  int status;
  std::string output;
};

Result shell(const std::string& command) {
  Result r{-1, {}};
  std::FILE* p = ::popen((command + " 2>&1 </dev/null").c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.output.append(buffer, got);
  const int status = ::pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::string> membersOf(const std::string& archiveName) {
  TLzhArchiver archiver;
  archiver.ArchiveName = archiveName;
  EXPECT_TRUE(archiver.Scan());
  return archiver.FileList();
}

class LzhCliRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kCli.c_str(), X_OK) != 0) GTEST_SKIP() << "pagora-cli not built";
  }
};

TEST_F(LzhCliRuns, SecondRunOnAnArchiveInUseFailsAndTouchesNothing) {
  TempFolder dir;
  for (const char* name : {"old.txt", "1.txt", "2.txt", "3.txt"})
    writeFile(dir / name, proseText(name[0], 40000));
  ASSERT_EQ(
      shell("cd '" + dir.path().string() + "' && '" + kCli + "' lzh a book.lzh old.txt").status, 0);
  const Bytes before = readBytes(dir / "book.lzh");

  Cli first(dir.path().string(), {"lzh", "a", "--confirm", "book.lzh", "1.txt", "2.txt"});
  ASSERT_TRUE(first.waitFor("Compress "));
  first.answer("y\n");
  ASSERT_TRUE(first.waitFor("Compress ", 2));  // held at the second file, the first one written
  const Bytes inProgress = readBytes(dir / "book.$$$");
  ASSERT_GT(inProgress.size(), 1000u);

  const Result second =
      shell("cd '" + dir.path().string() + "' && '" + kCli + "' lzh a book.lzh 3.txt");
  EXPECT_NE(second.status, 0);
  EXPECT_NE(second.output.find("book.lzh is in use by another program"), std::string::npos)
      << second.output;
  EXPECT_EQ(second.output.find("$$$"), std::string::npos) << second.output;
  EXPECT_EQ(readBytes(dir / "book.$$$"), inProgress);
  EXPECT_EQ(readBytes(dir / "book.lzh"), before);

  first.answer("y\n");
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(membersOf(dir / "book.lzh"), (std::vector<std::string>{"1.txt", "2.txt", "old.txt"}));
}

TEST_F(LzhCliRuns, QuitAtTheFirstQuestionKeepsEveryOldMember) {
  TempFolder dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    writeFile(dir / name, proseText(name[0], 5000));
  ASSERT_EQ(
      shell("cd '" + dir.path().string() + "' && '" + kCli + "' lzh a book.lzh a.txt b.txt c.txt")
          .status,
      0);
  const Bytes before = readBytes(dir / "book.lzh");
  Cli run(dir.path().string(), {"lzh", "a", "--confirm", "book.lzh", "a.txt", "b.txt", "c.txt"});
  ASSERT_TRUE(run.waitFor("Compress "));
  run.answer("q\n");
  run.wait();
  EXPECT_EQ(membersOf(dir / "book.lzh"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(readBytes(dir / "book.lzh"), before);
}

}  // namespace
}  // namespace pagora
