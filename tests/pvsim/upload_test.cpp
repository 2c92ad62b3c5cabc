// corvane-cli against pvsim over a real pseudo-terminal: stored bytes, the log line for line,
// exit codes, and every fault the simulated handheld can play.
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "upload_session.h"

// Table rows name only the fields they need; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pvsim_test {
namespace {

const std::string kWords = "PV Receiver: {n} file(s) received.\r\nReady.\r\n";

std::string words(int files) {
  std::string text = kWords;
  text.replace(text.find("{n}"), 3, std::to_string(files));
  return text;
}

// The log up to the end of the Receiver installation.
std::string installedLog(const std::string& port, int baud = 115200) {
  return "Corvane\r\n\r\nOpening " + port +
         " (9600,8n1 hardware flow control)\r\ntry to wake up PV... success.\r\n"
         "Waiting for BootStrap response...\r\nSwitching to: " +
         std::to_string(baud) + ",8n1 hardware flow control\r\nInstalling Receiver... finished.";
}

std::string fileLog(const std::string& name, const std::string& resends = "") {
  return "\r\nStarting tranfer of '" + name + "'" + resends + "\r\nFinished.";
}

std::string exitLog(const std::string& lastWords) {
  return "\r\nExit.\r\n\r\nLast words from Receiver:\r\n" + lastWords;
}

std::string repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct Case {
  Scenario scenario;
  // The whole expected output of corvane-cli; "{port}" stands for the port it was given.
  std::string expectedLog;
  int uploaderStatus = 0;  // -1: hangs and has to be killed
  int simStatus = 0;
  std::vector<std::pair<std::string, std::string>> stored;  // expected files in the out folder
  std::vector<std::string> simLogHas;                       // texts pvsim must have logged
};

void check(const Case& test, const Outcome& outcome) {
  SCOPED_TRACE(test.scenario.name);
  ASSERT_FALSE(outcome.port.empty()) << "pvsim printed no port:\n" << outcome.simLog;
  std::string expected = test.expectedLog;
  for (std::size_t at; (at = expected.find("{port}")) != std::string::npos;) {
    expected.replace(at, 6, outcome.port);
  }
  EXPECT_EQ(outcome.uploaderLog, expected) << "pvsim log:\n" << outcome.simLog;
  if (test.uploaderStatus < 0) {
    EXPECT_FALSE(outcome.uploaderStatus.has_value()) << "the uploader was expected to wait";
  } else {
    EXPECT_EQ(outcome.uploaderStatus, test.uploaderStatus);
  }
  EXPECT_EQ(outcome.simStatus, test.simStatus) << outcome.simLog;
  std::vector<std::string> expectedNames;
  for (const auto& [name, content] : test.stored) {
    expectedNames.push_back(name);
    EXPECT_EQ(readFile(outcome.received / name), content) << "stored file " << name;
  }
  std::sort(expectedNames.begin(), expectedNames.end());
  EXPECT_EQ(folderNames(outcome.received), expectedNames) << outcome.simLog;
  for (const std::string& text : test.simLogHas) {
    EXPECT_NE(outcome.simLog.find(text), std::string::npos)
        << "pvsim did not log \"" << text << "\":\n"
        << outcome.simLog;
  }
}

// Runs all cases at once: the protocol spends its time waiting for 200 ms ticks, so
// concurrent sessions cost little and keep the suite short. Every case runs twice: paced by
// the tick, and with --fast, where the same log, files and faults must come out.
void runAll(std::vector<Case>& cases) {
  for (const bool fast : {false, true}) {
    std::vector<std::future<Outcome>> running;
    for (Case& test : cases) {
      // Each case brings its files; what the out folder held before goes in through "received/".
      running.push_back(std::async(std::launch::async, [&test, fast] {
        Scenario scenario = test.scenario;
        if (fast) {
          scenario.name += "-fast";
          scenario.arguments.push_back("--fast");
        }
        return runUpload(scenario, CORVANE_CLI_PROGRAM);
      }));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(fast ? "with --fast" : "paced by the tick");
      const Outcome outcome = running[i].get();
      check(cases[i], outcome);
      removeSession(outcome);
    }
  }
}

TEST(PvsimUpload, StoresEveryFileByteForByteAndLogsTheSuccessfulRun) {
  const std::string one = patternBytes(1, 1);
  const std::string small = patternBytes(1025, 2);
  const std::string first = patternBytes(3000, 3);
  const std::string second = patternBytes(2048, 4);
  const std::string third = patternBytes(10, 5);
  const std::string book = patternBytes(5000, 6);
  const std::string longName = patternBytes(100, 7);
  const std::string cyrillic = patternBytes(700, 8);

  std::vector<Case> cases = {
      {{.name = "empty",
        .files = {{"empty.bin", ""}},
        .arguments = {"--baudrate=115200", "empty.bin"}},
       installedLog("{port}") + fileLog("empty.bin") + exitLog(words(1)),
       0,
       0,
       {{"empty.bin", ""}},
       {"header: 'empty.bin', 0 bytes", "stored 'empty.bin' (0 bytes)"}},
      {{.name = "one-byte",
        .files = {{"one.bin", one}},
        .arguments = {"--baudrate=115200", "one.bin"},
        .useLink = true},
       installedLog("{port}") + fileLog("one.bin") + exitLog(words(1)),
       0,
       0,
       {{"one.bin", one}}},
      {{.name = "absolute-path",
        .files = {{"a.bin", small}},
        .arguments = {"--baudrate=57600", "{dir}/a.bin"}},
       installedLog("{port}", 57600) + fileLog("a.bin") + exitLog(words(1)),
       0,
       0,
       {{"a.bin", small}},
       {"BootStrap command for 57600 baud"}},
      {{.name = "several",
        .files = {{"b1.txt", first}, {"b2.dat", second}, {"sub/b3.bin", third}},
        .arguments = {"--baudrate=115200", "b1.txt", "missing.bin", "{dir}/b2.dat", "sub/b3.bin"}},
       installedLog("{port}") + fileLog("b1.txt") + fileLog("b2.dat") + fileLog("b3.bin") +
           exitLog(words(3)),
       0,
       0,
       {{"b1.txt", first}, {"b2.dat", second}, {"b3.bin", third}}},
      {{.name = "delete-flag",
        .files = {{"book.lzh", book}},
        .arguments = {"--delete", "--baudrate=115200", "book.lzh"}},
       installedLog("{port}") + fileLog("book.lzh") + exitLog(words(1)),
       0,
       0,
       {{"book.lzh", book}},
       {"header: 'book.lzh', 5000 bytes, delete flag set"}},
      {{.name = "long-name",
        .files = {{"A very long file name.lzh", longName}},
        .arguments = {"--baudrate=115200", "A very long file name.lzh"}},
       installedLog("{port}") + fileLog("A very long.lzh") + exitLog(words(1)),
       0,
       0,
       {{"A very long.lzh", longName}}},
      {{.name = "default-rate",
        .files = {{"r.bin", one}},
        .arguments = {"--baudrate=12345", "r.bin"}},
       installedLog("{port}", 38400) + fileLog("r.bin") + exitLog(words(1)),
       0,
       0,
       {{"r.bin", one}},
       {"BootStrap command for 38400 baud"}},
      {{.name = "cyrillic-name",
        .files = {{"Книга.txt", cyrillic}},
        .arguments = {"--baudrate=115200", "Книга.txt"}},
       installedLog("{port}") + fileLog("Книга.txt") + exitLog(words(1)),
       0,
       0,
       {{"Книга.txt", cyrillic}},
       {"header: '\\xCA\\xED\\xE8\\xE3\\xE0.txt', 700 bytes"}},
      // A name on disk in code page 1251 goes out as its own bytes.
      {{.name = "cp1251-name",
        .files = {{"\xCA\xED\xE8\xE3\xE0.lzh", cyrillic}},
        .arguments = {"--baudrate=115200", "\xCA\xED\xE8\xE3\xE0.lzh"}},
       installedLog("{port}") + fileLog("Книга.lzh") + exitLog(words(1)),
       0,
       0,
       {{"Книга.lzh", cyrillic}},
       {"header: '\\xCA\\xED\\xE8\\xE3\\xE0.lzh', 700 bytes"}},
      {{.name = "nothing-to-send", .arguments = {"--baudrate=115200", "missing.bin"}},
       installedLog("{port}") + exitLog(words(0)),
       0,
       0,
       {},
       {"end of batch: 0 file(s) stored"}},
  };
  for (Case& test : cases) test.scenario.simOptions = {"--image", receiverImagePath()};
  runAll(cases);
}

TEST(PvsimUpload, FaultsOfTheHandheldEndAsTheProtocolSays) {
  const std::string data = patternBytes(3000, 11);
  const std::string other = patternBytes(1500, 12);
  const std::string old = "what stood here before\n";
  const std::vector<std::string> one = {"--baudrate=115200", "a.bin"};
  const std::vector<std::string> two = {"--baudrate=115200", "a.bin", "b.bin"};
  const std::vector<std::pair<std::string, std::string>> files = {{"a.bin", data},
                                                                  {"b.bin", other}};
  // An older a.bin in the out folder must survive every cancelled transfer of a.bin.
  const std::vector<std::pair<std::string, std::string>> withOld = {
      {"a.bin", data}, {"b.bin", other}, {"received/a.bin", old}};
  const std::string start = installedLog("{port}");
  const std::string success = start + fileLog("a.bin") + exitLog(words(1));
  const std::string successTwo = start + fileLog("a.bin") + fileLog("b.bin") + exitLog(words(2));
  const std::string transfer = start + "\r\nStarting tranfer of 'a.bin'";

  const auto scenario = [&](std::string name, std::vector<std::string> options,
                            std::vector<std::string> arguments,
                            std::vector<std::pair<std::string, std::string>> scenarioFiles) {
    options.insert(options.begin(), {"--image", receiverImagePath()});
    return Scenario{.name = std::move(name),
                    .files = std::move(scenarioFiles),
                    .arguments = std::move(arguments),
                    .simOptions = std::move(options)};
  };

  std::vector<Case> cases = {
      {scenario("checksum", {"--checksum"}, two, files),
       successTwo,
       0,
       0,
       {{"a.bin", data}, {"b.bin", other}},
       {"start request NAK (checksum mode)"}},
      // After one NAK start request every later block carries a checksum, C or not.
      {scenario("checksum-stays", {"--checksum-first"}, two, files),
       successTwo,
       0,
       0,
       {{"a.bin", data}, {"b.bin", other}},
       {"start request C (checksum mode)"}},
      {scenario("nak-block", {"--nak-block", "2"}, one, files),
       start + fileLog("a.bin", "\r\nResend block") + exitLog(words(1)),
       0,
       0,
       {{"a.bin", data}},
       {"NAK on purpose: data block 2 of 'a.bin'"}},
      {scenario("nak-storm", {"--nak-block", "0", "--nak-every", "1", "--nak-times", "3"}, one,
                files),
       start + fileLog("a.bin", repeat("\r\nResending block.", 3) + repeat("\r\nResend block", 9)) +
           exitLog(words(1)),
       0,
       0,
       {{"a.bin", data}}},
      {scenario("nak-eot", {"--nak-eot"}, two, files),
       successTwo,
       0,
       0,
       {{"a.bin", data}, {"b.bin", other}},
       {"NAK on purpose: EOT of 'a.bin'", "NAK on purpose: EOT of 'b.bin'"}},
      {scenario("cancel-start", {"--cancel", "start"}, one, withOld),
       start + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("cancel-header", {"--cancel", "header"}, one, withOld),
       transfer + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("cancel-data", {"--cancel", "data:2"}, one, withOld),
       transfer + "\r\nUpload canceled by PV\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("cancel-eot", {"--cancel", "eot"}, one, withOld),
       transfer + "\r\nUpload canceled by PV\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("cancel-second-start", {"--cancel", "start:2"}, two, files),
       start + fileLog("a.bin") + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", data}}},
      {scenario("cancel-before-end", {"--cancel", "start:2"}, one, files),
       start + fileLog("a.bin") + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", data}}},
      {scenario("cancel-final", {"--cancel", "final"}, one, files),
       start + fileLog("a.bin") + "\r\n",
       1,
       0,
       {{"a.bin", data}}},
      {scenario("standard-cancel-start", {"--cancel", "start", "--cancel-style", "standard"}, one,
                withOld),
       start + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("standard-cancel-header", {"--cancel", "header", "--cancel-style", "standard"}, one,
                withOld),
       transfer + "\r\nUpload canceled by PV.\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("standard-cancel-data", {"--cancel", "data:1", "--cancel-style", "standard"}, one,
                withOld),
       transfer + "\r\nUpload canceled by PV\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("standard-cancel-eot", {"--cancel", "eot", "--cancel-style", "standard"}, one,
                withOld),
       transfer + "\r\nUpload canceled by PV\r\n",
       1,
       0,
       {{"a.bin", old}}},
      {scenario("standard-cancel-final", {"--cancel", "final", "--cancel-style", "standard"}, one,
                files),
       start + fileLog("a.bin") + "\r\n",
       1,
       0,
       {{"a.bin", data}}},
      {scenario("c-after-header", {"--c-after-header"}, one, files),
       success,
       0,
       0,
       {{"a.bin", data}}},
      {scenario("ack-and-c-after-eot", {"--ack-c-after-eot"}, two, files),
       successTwo,
       0,
       0,
       {{"a.bin", data}, {"b.bin", other}}},
      {scenario("noise", {"--noise"}, two, files),
       successTwo,
       0,
       0,
       {{"a.bin", data}, {"b.bin", other}}},
      // The zero byte hides the rest of the Receiver's words from the log.
      {scenario("zero-byte", {"--zero-byte"}, one, files), success, 0, 0, {{"a.bin", data}}},
      {scenario("held-records", {"--hold-record", "1", "--hold-ms", "1000"}, one, files),
       success,
       0,
       0,
       {{"a.bin", data}},
       {"held replies: 4 record(s) arrived while the loader held its replies",
        "at most 4 record(s) unanswered"}},
      {scenario("held-block", {"--hold-block", "1", "--hold-ms", "1500"}, one, files),
       success,
       0,
       0,
       {{"a.bin", data}}},
      // A last line without a line end never reaches the log.
      {scenario("closing-text", {"--closing", "First line\\r\\nsecond line"}, one, files),
       start + fileLog("a.bin") + exitLog("First line\r\n"),
       0,
       0,
       {{"a.bin", data}}},
  };
  runAll(cases);
}

TEST(PvsimUpload, StalledAndFailedUploadsSayWhy) {
  const std::string data = patternBytes(2000, 21);
  std::vector<Case> cases = {
      // The handheld listens at the wrong rate: the records arrive garbled, nobody replies, and
      // the uploader, having seen only the reply to its BootStrap command, waits for ever.
      {{.name = "wrong-rate",
        .files = {{"a.bin", data}},
        .arguments = {"--baudrate=115200", "a.bin"},
        .simOptions = {"--wrong-rate", "9600"},
        .stalls = true},
       "Corvane\r\n\r\nOpening {port} (9600,8n1 hardware flow control)\r\ntry to wake up PV... "
       "success.\r\nWaiting for BootStrap response...\r\nSwitching to: 115200,8n1 hardware flow "
       "control\r\nInstalling Receiver... ",
       -1,
       3,
       {},
       {"garbled: the uploader's line runs at 115200 baud, the handheld at 9600 baud"}},
      {{.name = "no-image",
        .files = {{"a.bin", data}},
        .arguments = {"--baudrate=115200", "a.bin"},
        .receiverFile = "/nonexistent/receiver.hex"},
       "Corvane\r\n\r\nOpening {port} (9600,8n1 hardware flow control)\r\ntry to wake up PV... "
       "success.\r\nError: no Receiver data.\r\n",
       1,
       3,
       {},
       {"BootStrap command for 115200 baud", "line closed by the uploader"}},
  };
  runAll(cases);
}

}  // namespace
}  // namespace pvsim_test
