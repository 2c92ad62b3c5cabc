// corvane-cli as a process: its exit status for each way an upload ends before the transfer,
// its stdout, and how it finds the Receiver image (environment, then beside the executable).
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "fakes.h"

namespace corvane::testing {
namespace {

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/corvane-cli";

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A pseudo-terminal standing in for the handheld's line; answers like a BootStrap loader.
class FakeLine {
 public:
  FakeLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    ::grantpt(master_);
    ::unlockpt(master_);
    path_ = ::ptsname(master_);
    // Raw from the start, so that what the "handheld" sends before the program has set up
    // the line is neither echoed nor held back for a line end; kept open so that the line
    // stays up between the program's opening and closing.
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
  }
  ~FakeLine() {
    ::close(slave_);
    ::close(master_);
  }
  const std::string& path() const { return path_; }
  void send(const std::string& bytes) const {
    EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Everything the program wrote within the given time.
  std::string received(int ms) const {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd wait{master_, POLLIN, 0};
      if (::poll(&wait, 1, 20) > 0) {
        char chunk[512];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
      }
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Runs the program; stops it with the signal when it has not ended after stopAfterMs.
CliRun run(const std::string& program, const std::vector<std::string>& arguments,
           const std::string& receiverFile, int stopAfterMs = 8000, int stopSignal = SIGTERM) {
  int output[2];
  EXPECT_EQ(::pipe(output), 0);
  char errPath[] = "/tmp/corvane-cli-err.XXXXXX";
  const int errFile = ::mkstemp(errPath);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(output[1], STDOUT_FILENO);
    ::dup2(errFile, STDERR_FILENO);
    ::close(output[0]);
    ::close(output[1]);
    if (receiverFile.empty()) {
      ::unsetenv("CORVANE_RECEIVER_FILE");
    } else {
      ::setenv("CORVANE_RECEIVER_FILE", receiverFile.c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(output[1]);
  CliRun result;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(stopAfterMs);
  bool stopped = false;
  for (;;) {
    pollfd wait{output[0], POLLIN, 0};
    if (::poll(&wait, 1, 20) > 0) {
      char chunk[512];
      const ssize_t n = ::read(output[0], chunk, sizeof chunk);
      if (n <= 0) break;
      result.out.append(chunk, static_cast<std::size_t>(n));
    }
    if (!stopped && std::chrono::steady_clock::now() > end) {
      ::kill(child, stopSignal);
      stopped = true;
    }
  }
  ::close(output[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream errText(errPath);
  result.err.assign(std::istreambuf_iterator<char>(errText), {});
  ::close(errFile);
  ::unlink(errPath);
  return result;
}

TEST(CorvaneCli, EndsBeforeTheUploadWithStatus2) {
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{},
       "Corvane\r\n\r\nNo port specified on command line."
       "\r\n\r\nUsage: Corvane [--baudrate=n] [--port=p] [--delete] filename"
       "\r\nExample: Corvane --baudrate=57600 --port=COM1 Nimbrel.lzh\r\n",
       ""},
      {{"--port=/nonexistent/tty", "a.lzh"},
       "Corvane\r\n",
       "cannot open /nonexistent/tty: No such file or directory\n"},
      {{"--port=/dev/null", "a.lzh"},
       "Corvane\r\n\r\nOpening /dev/null but GetCommState failed :-(\r\n",
       ""},
  };
  for (const Case& c : cases) {
    const CliRun result = run(kCli, c.arguments, "");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

TEST(CorvaneCli, WithoutReceiverImageStopsAfterTheBootStrapCommand) {
  TempFolder folder;
  // A copy of the program in a folder without receiver.hex, so no image can be found.
  const std::string copy = folder / "corvane-cli";
  std::filesystem::copy_file(kCli, copy);
  FakeLine line;
  line.send(
      "?BootStrap\x18"
      "000000");
  const CliRun result = run(copy, {"--baudrate=9600", "--port=" + line.path(), "a.lzh"}, "");
  EXPECT_EQ(line.received(100),
            "BOOTSTRAP074E\x06"
            "00\x18"
            "000100");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "Corvane\r\n\r\nOpening " + line.path() +
                            " (9600,8n1 hardware flow control)\r\ntry to wake up PV... success."
                            "\r\nError: no Receiver data.\r\n");
}

TEST(CorvaneCli, FindsTheImageBesideItselfAndEndsOnSigterm) {
  TempFolder folder;
  const std::string copy = folder / "corvane-cli";
  std::filesystem::copy_file(kCli, copy);
  std::filesystem::copy_file(
      std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex",
      folder / "receiver.hex");
  FakeLine line;
  line.send(
      "?\x18"
      "000000");
  const CliRun result = run(copy, {"--port=" + line.path()}, "", 3000);
  EXPECT_EQ(result.exitCode, 128 + SIGTERM);
  // The last log line is ended before the program goes.
  EXPECT_TRUE(
      result.out.ends_with("\r\nWaiting for BootStrap response...\r\n"
                           "Switching to: 38400,8n1 hardware flow control\r\n"))
      << result.out;
}

TEST(CorvaneCli, CtrlCEndsTheLastLogLine) {
  FakeLine line;
  line.send(
      "?\x18"
      "000000");
  const CliRun result =
      run(kCli, {"--port=" + line.path(), "--fast"},
          std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex", 2000, SIGINT);
  EXPECT_EQ(result.exitCode, 128 + SIGINT);
  EXPECT_EQ(result.out, "Corvane\r\n\r\nOpening " + line.path() +
                            " (9600,8n1 hardware flow control)\r\ntry to wake up PV... success."
                            "\r\nWaiting for BootStrap response...\r\nSwitching to: 38400,8n1 "
                            "hardware flow control\r\n");
}

// A port that exists but is not this user's: the log is Corvane's as always, and stderr gets
// one line naming the group to join. The system never refuses root, so a root test runs the
// program as nobody, and any other user meets a device of mode 000.
TEST(CorvaneCli, PortWithoutPermissionAddsOneLineOnStderr) {
  TempFolder folder;
  ::chmod(folder.path().c_str(), 0755);
  const std::string device = folder.write("ttyUSB9", "");
  const bool root = ::geteuid() == 0;
  std::string group;
  struct stat info {};
  ASSERT_EQ(::stat(device.c_str(), &info), 0);
  gid_t owner = info.st_gid;
  if (root) {
    if (const struct group* dialout = ::getgrnam("dialout")) owner = dialout->gr_gid;
    ASSERT_EQ(::chown(device.c_str(), 0, owner), 0);
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
  } else {
    ASSERT_EQ(::chmod(device.c_str(), 0), 0);
  }
  const struct group* entry = ::getgrgid(owner);
  group = entry ? entry->gr_name : std::to_string(owner);
  const std::string errPath = folder / "err";

  int output[2];
  ASSERT_EQ(::pipe(output), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(output[1], STDOUT_FILENO);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(err, STDERR_FILENO);
    if (root) {
      const struct passwd* nobody = ::getpwnam("nobody");
      const uid_t uid = nobody ? nobody->pw_uid : 65534;
      const gid_t gid = nobody ? nobody->pw_gid : 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(126);
    }
    ::execl(kCli.c_str(), kCli.c_str(), ("--port=" + device).c_str(), "a.lzh", nullptr);
    ::_exit(127);
  }
  ::close(output[1]);
  std::string out;
  char chunk[256];
  for (ssize_t n; (n = ::read(output[0], chunk, sizeof chunk)) > 0;) out.append(chunk, n);
  ::close(output[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(out, "Corvane\r\n");
  std::ifstream errFile(errPath);
  const std::string err((std::istreambuf_iterator<char>(errFile)), {});
  EXPECT_EQ(err, "No permission to open " + device + ": join the group '" + group +
                     "' that owns it (sudo usermod -a -G " + group +
                     " $USER), then log in again.\n");
}

TEST(CorvaneCli, UnreadableNamedImageMeansNoImage) {
  FakeLine line;
  line.send(
      "?\x18"
      "000000");
  const CliRun result = run(kCli, {"--port=" + line.path()}, "/nonexistent/receiver.hex");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.out.ends_with("\r\nError: no Receiver data.\r\n")) << result.out;
}

}  // namespace
}  // namespace corvane::testing
#endif
