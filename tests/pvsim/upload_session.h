// Runs one upload between a real uploader process and a real pvsim process over a real
// pseudo-terminal, and collects what both said and stored.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data_generator.h"
#include "temp_folder.h"

extern char** environ;

namespace pvsim_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using pagora::testing_support::readFile;
using pagora::testing_support::writeFile;

// Bytes of every value, different for every seed.
inline std::string patternBytes(std::size_t size, unsigned seed) {
  return pagora::testing_support::randomBytes<std::string>(seed, size);
}

inline fs::path uniqueFolder(const std::string& name) {
  return pagora::testing_support::newTempFolder("pvsim-" + name + "-");
}

// Starts a program with its output in files; the environment gets the extra entries.
inline pid_t spawn(const std::vector<std::string>& arguments, const fs::path& folder,
                   const std::vector<std::string>& extraEnvironment, const fs::path& outPath,
                   const fs::path& errPath) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
  for (const std::string& extra : extraEnvironment) {
    const std::string key = extra.substr(0, extra.find('=') + 1);
    std::erase_if(environment, [&key](const std::string& e) { return e.rfind(key, 0) == 0; });
    environment.push_back(extra);
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  const std::string folderText = folder.string();
  const std::string outText = outPath.string();
  const std::string errText = errPath.string();

  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::chdir(folderText.c_str()) != 0) ::_exit(120);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // A fresh process group, so that a test can never signal itself by accident.
    ::setpgid(0, 0);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  return pid;
}

// The exit status (128 + signal for a killed program), or none when it is still running after
// the time limit.
inline std::optional<int> waitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(10ms);
  }
}

inline int killAndReap(pid_t pid) {
  ::kill(pid, SIGKILL);
  return waitFor(pid, 5000ms).value_or(-1);
}

inline std::string simulatorPath() {
  return PVSIM_PROGRAM;
}
inline std::string receiverImagePath() {
  return std::string(PAGORA_SOURCE_DIR) + "/tests/uploader/data/receiver-sim.hex";
}

struct Scenario {
  std::string name;
  std::vector<std::pair<std::string, std::string>> files;  // relative path, content
  // The uploader's arguments after --port; "{dir}" stands for the session folder.
  std::vector<std::string> arguments;
  std::vector<std::string> simOptions;
  std::string receiverFile = receiverImagePath();
  bool useLink = false;
  bool stalls = false;  // the uploader is expected to wait forever; pvsim gives up after 2 s
  std::chrono::milliseconds limit = 30000ms;
};

struct Outcome {
  fs::path folder;
  fs::path received;
  std::string port;
  std::optional<int> simStatus;  // none: pvsim had to be killed
  std::string simLog;
  std::optional<int> uploaderStatus;  // none: the uploader hung and was killed
  std::string uploaderLog;
};

// Runs the scenario with `uploader` (corvane-cli, or the dialog program) and cleans nothing up:
// call removeSession() when done with the outcome.
inline Outcome runUpload(const Scenario& scenario, const std::string& uploader,
                         std::vector<std::string> extraEnvironment = {}) {
  Outcome outcome;
  outcome.folder = uniqueFolder(scenario.name);
  outcome.received = outcome.folder / "received";
  fs::create_directories(outcome.received);
  for (const auto& [name, content] : scenario.files) writeFile(outcome.folder / name, content);

  std::vector<std::string> simArguments = {simulatorPath(), "--out", outcome.received.string(),
                                           "--timeout", scenario.stalls ? "2" : "20"};
  if (scenario.useLink) {
    simArguments.push_back("--link");
    simArguments.push_back((outcome.folder / "line").string());
  }
  simArguments.insert(simArguments.end(), scenario.simOptions.begin(), scenario.simOptions.end());
  const pid_t simulator = spawn(simArguments, outcome.folder, {}, outcome.folder / "sim.out",
                                outcome.folder / "sim.log");

  // The first line pvsim prints names the port.
  const auto portDeadline = std::chrono::steady_clock::now() + 10s;
  for (;;) {
    const std::string printed = readFile(outcome.folder / "sim.out");
    if (printed.find('\n') != std::string::npos) {
      outcome.port = printed.substr(0, printed.find('\n'));
      break;
    }
    if (std::chrono::steady_clock::now() > portDeadline) break;
    std::this_thread::sleep_for(5ms);
  }
  if (outcome.port.empty()) {
    outcome.simStatus = waitFor(simulator, 0ms);
    if (!outcome.simStatus) killAndReap(simulator);
    outcome.simLog = readFile(outcome.folder / "sim.log");
    return outcome;
  }
  if (scenario.useLink) outcome.port = (outcome.folder / "line").string();

  std::vector<std::string> uploaderArguments = {uploader, "--port=" + outcome.port};
  for (std::string argument : scenario.arguments) {
    for (std::size_t at; (at = argument.find("{dir}")) != std::string::npos;) {
      argument.replace(at, 5, outcome.folder.string());
    }
    uploaderArguments.push_back(argument);
  }
  extraEnvironment.push_back("CORVANE_RECEIVER_FILE=" + scenario.receiverFile);
  extraEnvironment.push_back("QT_QPA_PLATFORM=offscreen");
  const pid_t upload = spawn(uploaderArguments, outcome.folder, extraEnvironment,
                             outcome.folder / "uploader.out", outcome.folder / "uploader.err");

  outcome.simStatus = waitFor(simulator, scenario.limit);
  if (!outcome.simStatus) killAndReap(simulator);
  // A finished upload closes its port before pvsim ends; give it a moment to exit.
  outcome.uploaderStatus = waitFor(upload, 3000ms);
  if (!outcome.uploaderStatus) killAndReap(upload);
  outcome.simLog = readFile(outcome.folder / "sim.log");
  outcome.uploaderLog = readFile(outcome.folder / "uploader.out");
  return outcome;
}

inline void removeSession(const Outcome& outcome) {
  pagora::testing_support::removeTempFolder(outcome.folder);
}

// The names of the files in a folder, sorted.
inline std::vector<std::string> folderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace pvsim_test
