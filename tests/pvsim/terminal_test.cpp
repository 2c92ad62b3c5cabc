// corvane-cli on a terminal that renders (a tmux pane, read back with capture-pane) against
// pvsim: with the progress bar drawn throughout, what stays on the screen is exactly the log
// that a pipe receives, also when the screen scrolls and when Ctrl-C ends the upload.
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "upload_session.h"

namespace pvsim_test {
namespace {

bool haveTmux() {
  return std::system("tmux -V > /dev/null 2>&1") == 0;
}

// Output of a shell command.
std::string commandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    ::pclose(pipe);
  }
  return out;
}

std::vector<std::string> lines(const std::string& text, const std::string& end) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size()) {
    out.push_back(text.substr(from, at - from));
  }
  out.push_back(text.substr(from));
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

struct Screen {
  std::string port;
  std::vector<std::string> rows;  // history and visible rows, trailing blank rows dropped
  std::string status;             // corvane-cli's exit status as the shell saw it
  std::string simLog;
};

// Runs corvane-cli in a detached tmux pane of 100 x 8 cells, so the log scrolls; with
// interruptWhen, sends Ctrl-C once pvsim has logged that text.
Screen runOnTerminal(const Scenario& scenario, const std::string& interruptWhen = {}) {
  Screen screen;
  const fs::path folder = uniqueFolder(scenario.name + "-tty");
  fs::create_directories(folder / "received");
  for (const auto& [name, content] : scenario.files) writeFile(folder / name, content);
  std::vector<std::string> simArguments = {simulatorPath(), "--out", (folder / "received").string(),
                                           "--timeout", "20"};
  simArguments.insert(simArguments.end(), scenario.simOptions.begin(), scenario.simOptions.end());
  const pid_t simulator = spawn(simArguments, folder, {}, folder / "sim.out", folder / "sim.log");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (screen.port.empty() && std::chrono::steady_clock::now() < deadline) {
    const std::string printed = readFile(folder / "sim.out");
    if (printed.find('\n') != std::string::npos)
      screen.port = printed.substr(0, printed.find('\n'));
    std::this_thread::sleep_for(5ms);
  }
  if (screen.port.empty()) {
    killAndReap(simulator);
    return screen;
  }

  const std::string socket =
      "corvane-" + std::to_string(::getpid()) + "-" + folder.filename().string();
  std::string command = "cd " + folder.string() +
                        " && trap '' INT && env CORVANE_RECEIVER_FILE=" + scenario.receiverFile +
                        " " + CORVANE_CLI_PROGRAM + " --port=" + screen.port;
  for (const std::string& argument : scenario.arguments) command += " " + argument;
  command += "; echo \\$? > status; exec sleep 600";  // $? of the inner shell
  const std::string tmux = "tmux -L " + socket + " -f /dev/null ";
  EXPECT_EQ(std::system((tmux + "new-session -d -x 100 -y 8 \"" + command + "\"").c_str()), 0);

  bool interrupted = interruptWhen.empty();
  const auto end = std::chrono::steady_clock::now() + 40s;
  while (std::chrono::steady_clock::now() < end && !fs::exists(folder / "status")) {
    if (!interrupted && readFile(folder / "sim.log").find(interruptWhen) != std::string::npos) {
      EXPECT_EQ(std::system((tmux + "send-keys C-c").c_str()), 0);
      interrupted = true;
    }
    std::this_thread::sleep_for(20ms);
  }
  std::this_thread::sleep_for(100ms);  // the shell has written the status; let tmux catch up
  screen.status = readFile(folder / "status");
  screen.rows = lines(commandOutput(tmux + "capture-pane -p -S - -E -"), "\n");
  std::system((tmux + "kill-server").c_str());
  if (!waitFor(simulator, 25000ms)) killAndReap(simulator);
  screen.simLog = readFile(folder / "sim.log");
  pagora::testing_support::removeTempFolder(folder);
  return screen;
}

TEST(PvsimTerminal, TheScreenKeepsEveryLogLineThePipeGets) {
  if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
  const std::string data = patternBytes(6000, 51);
  const std::string other = patternBytes(1500, 52);
  std::vector<Scenario> scenarios;
  for (const bool fast : {false, true}) {
    Scenario s;
    s.name = fast ? "terminal-fast" : "terminal";
    s.files = {{"a.bin", data}, {"b.bin", other}};
    s.arguments = {"--baudrate=115200", "a.bin", "b.bin"};
    if (fast) s.arguments.push_back("--fast");
    s.simOptions = {"--image", receiverImagePath(), "--nak-block", "2", "--nak-eot"};
    scenarios.push_back(s);
  }
  std::vector<std::future<Screen>> onScreen;
  std::vector<std::future<Outcome>> piped;
  for (const Scenario& s : scenarios) {
    onScreen.push_back(std::async(std::launch::async, [s] { return runOnTerminal(s); }));
    piped.push_back(
        std::async(std::launch::async, [s] { return runUpload(s, CORVANE_CLI_PROGRAM); }));
  }
  for (std::size_t i = 0; i < scenarios.size(); ++i) {
    SCOPED_TRACE(scenarios[i].name);
    const Screen screen = onScreen[i].get();
    const Outcome outcome = piped[i].get();
    ASSERT_FALSE(screen.port.empty());
    EXPECT_EQ(outcome.uploaderStatus, 0) << outcome.uploaderLog << outcome.simLog;
    EXPECT_EQ(screen.status, "0\n") << screen.simLog;
    std::string log = outcome.uploaderLog;
    for (std::size_t at; (at = log.find(outcome.port)) != std::string::npos;) {
      log.replace(at, outcome.port.size(), screen.port);
    }
    EXPECT_NE(log.find("\r\nResend block\r\n"), std::string::npos) << log;
    EXPECT_EQ(screen.rows, lines(log, "\r\n"));
    removeSession(outcome);
  }
}

TEST(PvsimTerminal, CtrlCLeavesTheLogWithItsLastLineEnded) {
  if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
  Scenario s;
  s.name = "terminal-ctrl-c";
  s.files = {{"a.bin", patternBytes(5000, 53)}};
  s.arguments = {"--baudrate=115200", "a.bin"};
  // The reply to the second data block is held, so the bar stands half-way when Ctrl-C comes.
  s.simOptions = {"--image", receiverImagePath(), "--hold-block", "2", "--hold-ms", "3000"};
  Screen screen = runOnTerminal(s, "holding the reply to data block 2");
  ASSERT_FALSE(screen.port.empty());
  EXPECT_EQ(screen.status, "130\n");
  // The terminal itself echoes the key where the cursor stands: at the end of the log.
  if (!screen.rows.empty() && screen.rows.back().ends_with("^C")) {
    screen.rows.back().resize(screen.rows.back().size() - 2);
  }
  EXPECT_EQ(screen.rows,
            (std::vector<std::string>{
                "Corvane", "", "Opening " + screen.port + " (9600,8n1 hardware flow control)",
                "try to wake up PV... success.", "Waiting for BootStrap response...",
                "Switching to: 115200,8n1 hardware flow control",
                "Installing Receiver... finished.", "Starting tranfer of 'a.bin'"}));
}

}  // namespace
}  // namespace pvsim_test
