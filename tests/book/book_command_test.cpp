// pagora-cli book build and book send run as programs: what they print, what they write, and
// the exact arguments send hands to corvane-cli (a stand-in that records them).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class BookCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_ / "bin");
    // A copy of the program with a recording corvane-cli beside it.
    fs::copy_file(PAGORA_CLI, folder_ / "bin" / "pagora-cli");
    std::ofstream(folder_ / "bin" / "corvane-cli")
        << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname "
           "\"$0\")/args\"\n"
           "exit 3\n";
    fs::permissions(folder_ / "bin" / "corvane-cli", fs::perms::owner_all);
  }

  // Runs pagora-cli in the test folder; returns the exit status and the standard output.
  std::pair<int, std::string> run(const std::string& arguments) {
    std::string command = "cd '" + folder_.string() + "' && '" +
                          (folder_ / "bin" / "pagora-cli").string() + "' " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  pagora::testing_support::TempFolder temp_{"book_command_"};
  const fs::path folder_ = temp_.path();
};

TEST_F(BookCommandTest, BuildWritesTheArchiveAndTheAdtFile) {
  std::ofstream(folder_ / "a.txt") << "first\r\n";
  std::ofstream(folder_ / "Книга.txt") << "вторая\r\n";
  auto [status, out] = run("book build 'My Book' a.txt Книга.txt ./a.txt --adt");
  ASSERT_EQ(status, 0) << out;
  auto size = fs::file_size(folder_ / "My Book.lzh");
  EXPECT_NE(out.find("File My Book.lzh.adt\nSize: " + std::to_string(size) +
                     " bytes\nReady to send in Casio PV\n"),
            std::string::npos)
      << out;
  EXPECT_TRUE(fs::exists(folder_ / "My Book.lzh.adt"));
  std::string archive = read(folder_ / "My Book.lzh");
  // Two members: a.txt once (./a.txt is the same entry of the list), then the device name.
  auto first = archive.find("a.txt");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(archive.find("a.txt", first + 1), std::string::npos);
  EXPECT_NE(archive.find("\x8B\xAF\xAA\xA4\xA1.txt"), std::string::npos);
}

TEST_F(BookCommandTest, BuildStoresNamesThatConvertAlikeOnceEach) {
  std::ofstream(folder_ / "日本.txt") << "first\r\n";
  std::ofstream(folder_ / "中文.txt") << "second\r\n";
  auto [status, out] = run("book build book 日本.txt 中文.txt ./日本.txt");
  ASSERT_EQ(status, 0) << out;
  std::string archive = read(folder_ / "book.lzh");
  // Level-1 headers: the name's length at 21, the name from 22 on.
  std::vector<std::string> names;
  for (std::size_t at = 0; at + 22 < archive.size() && archive[at] != 0;) {
    const auto headerSize = static_cast<unsigned char>(archive[at]);
    const auto nameLength = static_cast<unsigned char>(archive[at + 21]);
    names.push_back(archive.substr(at + 22, nameLength));
    std::uint32_t packed = 0;
    for (int i = 3; i >= 0; --i)
      packed = packed << 8 | static_cast<unsigned char>(archive[at + 7 + i]);
    at += 2 + headerSize + packed;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"??.txt", "??~2.txt"}));
}

TEST_F(BookCommandTest, BuildRefusesMissingFilesAndLeavesNothing) {
  auto [status, out] = run("book build book missing.txt");
  EXPECT_NE(status, 0);
  EXPECT_FALSE(fs::exists(folder_ / "book.lzh"));
}

TEST_F(BookCommandTest, SendStartsCorvaneWithTheArchiveAsOneArgument) {
  std::ofstream(folder_ / "My Book.lzh") << "archive bytes";
  struct Case {
    const char* options;
    const char* expected;
  } cases[] = {
      {"", "--baudrate=9600\n--port=COM1\nMy Book.lzh\n"},
      {"--port 2 --baud 115200", "--baudrate=115200\n--port=COM2\nMy Book.lzh\n"},
      {"--port COM4 --baud 57600", "--baudrate=57600\n--port=COM4\nMy Book.lzh\n"},
      {"--port /dev/ttyUSB0", "--baudrate=9600\n--port=/dev/ttyUSB0\nMy Book.lzh\n"},
  };
  for (const auto& c : cases) {
    fs::remove(folder_ / "bin" / "args");
    // "My Book" names the archive My Book.lzh, as the build does.
    auto [status, out] = run(std::string("book send 'My Book' ") + c.options);
    EXPECT_EQ(status, 3) << "corvane-cli's status comes back; " << out;
    EXPECT_NE(out.find("File My Book.lzh\nSize: 13 bytes\n"), std::string::npos) << out;
    EXPECT_EQ(read(folder_ / "bin" / "args"), c.expected) << c.options;
  }
}

TEST_F(BookCommandTest, SendWithoutAnArchiveStartsNothing) {
  auto [status, out] = run("book send nothing");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("nothing.lzh"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(folder_ / "bin" / "args"));
  auto [badStatus, badOut] = run("book send nothing --baud 1234");
  EXPECT_NE(badStatus, 0);
  EXPECT_FALSE(fs::exists(folder_ / "bin" / "args"));
}

}  // namespace
