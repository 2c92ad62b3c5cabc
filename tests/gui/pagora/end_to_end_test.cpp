// A book built through the main window from the sample texts and sent by Pagora's Corvane start
// to the handheld simulator: the file the simulator receives is the archive, byte for byte.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <QListWidget>
#include <chrono>
#include <optional>
#include <thread>

#include "app_test_support.h"
#include "scripted_prompts.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"

extern char** environ;

namespace pagora {
namespace {

using namespace std::chrono_literals;
using testing_support::WindowTest;

pid_t spawn(const std::vector<std::string>& arguments, const std::filesystem::path& out,
            const std::filesystem::path& err) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::string outText = out.string(), errText = err.string();
  pid_t pid = ::fork();
  if (pid == 0) {
    int o = ::open(outText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(errText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0) ::_exit(120);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::setpgid(0, 0);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(121);
  }
  return pid;
}

std::optional<int> waitFor(pid_t pid, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(10ms);
  }
}

void reap(pid_t pid) {
  if (!waitFor(pid, 0ms)) {
    ::kill(pid, SIGKILL);
    waitFor(pid, 5000ms);
  }
}

class EndToEndTest : public WindowTest {};

TEST_F(EndToEndTest, BookBuiltInTheWindowArrivesOnTheSimulatedHandheld) {
  const std::string simulator = PAGORA_PVSIM;
  const std::string uploader = PAGORA_UPLOADER;
  if (simulator.empty() || uploader.empty()) {
    GTEST_SKIP() << "the handheld simulator or the uploader is not part of this build";
  }
  const std::filesystem::path samples = std::filesystem::path(PAGORA_SOURCE_DIR) / "samples";
  QStringList names;
  for (const auto& entry : std::filesystem::directory_iterator(samples)) {
    std::filesystem::copy_file(entry.path(), root_ / "books" / entry.path().filename());
    if (entry.path().extension() == ".txt")
      names << QString::fromStdString(entry.path().filename());
  }
  ASSERT_FALSE(names.isEmpty());
  // Corvane is started from Pagora's own folder.
  std::filesystem::create_symlink(uploader, root_ / "prog" / "corvane");
  ::setenv("CORVANE_RECEIVER_FILE",
           (std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::filesystem::create_directories(root_ / "received");
  pid_t sim = spawn({simulator, "--out", (root_ / "received").string(), "--timeout", "25"},
                    root_ / "sim.out", root_ / "sim.log");
  std::string port;
  for (auto end = std::chrono::steady_clock::now() + 10s;
       port.empty() && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
    std::string printed = read(root_ / "sim.out");
    if (printed.find('\n') != std::string::npos) port = printed.substr(0, printed.find('\n'));
  }
  if (port.empty()) reap(sim);
  ASSERT_FALSE(port.empty()) << read(root_ / "sim.log");

  std::optional<pid_t> upload;
  Launcher::setStartHandler([&](const QString& program, const QStringList& arguments) {
    std::vector<std::string> argv{program.toStdString()};
    for (const QString& a : arguments) argv.push_back(a.toStdString());
    upload = spawn(argv, root_ / "uploader.out", root_ / "uploader.err");
    return true;
  });
  std::string archive = books() + "/Моя книга.lzh";
  {
    ScriptedPrompts prompts;
    prompts.queueAnswer(PromptAnswer::Yes);
    TForm1 form;
    form.showFolder(QString::fromStdString(books()));
    form.selectFiles(names);
    testing_support::dropSelection(form);
    ASSERT_EQ(form.chosen().size(), names.size());
    TMainSettings settings = form.settings();
    settings.PortName = port;
    settings.BaudRate = 4;
    form.setSettings(settings);
    form.setBookName(QString::fromStdString(books() + "/Моя книга"));
    form.SpeedButton8Click();
    ASSERT_EQ(prompts.records().size(), 1u);
    EXPECT_TRUE(prompts.records()[0].text.endsWith("Send to Casio PV ?"));
  }
  Launcher::setStartHandler(nullptr);
  ASSERT_TRUE(upload.has_value());

  std::optional<int> simStatus = waitFor(sim, 40s);
  if (!simStatus) reap(sim);
  std::optional<int> uploadStatus = waitFor(*upload, 5s);
  reap(*upload);
  EXPECT_EQ(simStatus, 0) << read(root_ / "sim.log");
  if (uploader.find("corvane-cli") != std::string::npos) {
    EXPECT_EQ(uploadStatus, 0) << read(root_ / "uploader.out");
  }
  std::vector<std::filesystem::path> received;
  for (const auto& entry : std::filesystem::directory_iterator(root_ / "received")) {
    received.push_back(entry.path());
  }
  ASSERT_EQ(received.size(), 1u) << read(root_ / "sim.log");
  EXPECT_EQ(read(received[0]), read(archive));
}

}  // namespace
}  // namespace pagora
