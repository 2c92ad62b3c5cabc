// pagora-cli lzh as its user meets it: existing files are never replaced without consent, a
// failed member leaves nothing under a real name, extraction goes on after a failure, a file
// that is not an archive is refused, and the exit statuses. Skipped when the program is not built.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kCli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

class CliLzh : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kCli)) GTEST_SKIP() << "pagora-cli not built";
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs `pagora-cli ARGS` in the scratch folder; stdin comes from `input` (never a terminal).
  Outcome Cli(const std::string& args, const std::string& input = "", const std::string& env = "") {
    Write(Path(".in"), input);
    const std::string command = "cd '" + dir_.string() + "' && " + env + " '" + kCli + "' " + args +
                                " < .in > .out 2> .err";
    Outcome r;
    const int status = std::system(command.c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Read(Path(".out"));
    r.err = Read(Path(".err"));
    return r;
  }

  // Leftovers of the safe extraction (its temporary files start with "LHA").
  std::vector<std::string> temporaries(const std::string& folder = "") const {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / folder))
      if (e.path().filename().string().rfind("LHA", 0) == 0) found.push_back(e.path().string());
    return found;
  }

  // The archive bytes with the method id of member `index` (0-based) replaced, checksum fixed.
  static std::string withMethod(std::string archive, int index, const std::string& id) {
    std::size_t at = memberStart(archive, index);
    archive.replace(at + 2, 5, id);
    fixChecksum(archive, at);
    return archive;
  }
  static std::size_t memberStart(const std::string& archive, int index) {
    std::size_t at = 0;
    for (int i = 0; i < index; ++i) {
      const auto* b = reinterpret_cast<const unsigned char*>(archive.data() + at);
      const std::size_t skip =
          b[7] | b[8] << 8 | b[9] << 16 | static_cast<std::size_t>(b[10]) << 24;
      at += b[0] + 2 + skip;
    }
    return at;
  }
  static void fixChecksum(std::string& archive, std::size_t at) {
    const auto size = static_cast<unsigned char>(archive[at]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += static_cast<unsigned char>(archive[at + 2 + i]);
    archive[at + 1] = static_cast<char>(sum & 0xFF);
  }

  // Three stored members one.txt, two.txt, three.txt in book.lzh.
  void makeBook() {
    Write(Path("one.txt"), "first text\n");
    Write(Path("two.txt"), "second text, a little longer\n");
    Write(Path("three.txt"), "third\n");
    ASSERT_EQ(Cli("lzh a --method lh0 book.lzh one.txt two.txt three.txt").status, 0);
    fs::create_directories(Path("out"));
  }

  pagora::testing_support::TempFolder temp_{"pagora-cli-lzh-"};
  const fs::path dir_ = temp_.path();
};

TEST_F(CliLzh, ExistingFilesAreReplacedOnlyWithConsent) {
  makeBook();
  struct Case {
    const char* options;
    int status;
    const char* oneAfter;
    bool reported;
  } cases[] = {
      {"", 1, "mine\n", true},     // no terminal to ask on: skipped, said, failure
      {"-n", 0, "mine\n", false},  // kept quietly
      {"--no-overwrite", 0, "mine\n", false},
      {"-o", 0, "first text\n", false},  // replaced without asking
      {"--overwrite", 0, "first text\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    fs::remove_all(Path("out"));
    fs::create_directories(Path("out"));
    Write(Path("out/one.txt"), "mine\n");
    Outcome r = Cli(std::string("lzh x -C out ") + c.options + " book.lzh");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(Read(Path("out/one.txt")), c.oneAfter);
    EXPECT_EQ(Read(Path("out/two.txt")), "second text, a little longer\n");
    EXPECT_EQ(r.err.find("skipped out/one.txt: the file exists") != std::string::npos, c.reported)
        << r.err;
    EXPECT_TRUE(temporaries("out").empty());
  }
  EXPECT_EQ(Cli("lzh x -o -n book.lzh").status, 2);
}

TEST_F(CliLzh, FailedMemberLeavesNoFileUnderARealName) {
  Write(Path("one.txt"), "secret text\n");
  ASSERT_EQ(Cli("lzh a --method lh0 --password right locked.lzh one.txt").status, 0);
  ASSERT_EQ(Cli("lzh a --method lh0 plain.lzh one.txt").status, 0);
  std::string plain = Read(Path("plain.lzh"));
  Write(Path("odd.lzh"), withMethod(plain, 0, "-lhx-"));
  std::string damaged = plain;
  damaged[damaged.find("secret")] ^= 0x20;
  Write(Path("damaged.lzh"), damaged);

  struct Case {
    const char* args;
    const char* reason;
  } cases[] = {
      {"locked.lzh --password wrong", "Invalid password -- cannot decrypt file"},
      {"locked.lzh", "File is encrypted -- password required"},
      {"odd.lzh", "Unrecognized compression method"},
      {"damaged.lzh", "Bad CRC during expansion -- data may be invalid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    for (bool existing : {false, true}) {
      fs::remove_all(Path("out"));
      fs::create_directories(Path("out"));
      if (existing) Write(Path("out/one.txt"), "mine\n");
      Outcome r = Cli(std::string("lzh x -o -C out ") + c.args);
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find("one.txt: " + std::string(c.reason)), std::string::npos) << r.err;
      if (existing)
        EXPECT_EQ(Read(Path("out/one.txt")), "mine\n");
      else
        EXPECT_FALSE(fs::exists(Path("out/one.txt")));
      EXPECT_TRUE(temporaries("out").empty());
    }
  }
}

TEST_F(CliLzh, ExtractGoesOnAfterAFailedMember) {
  makeBook();
  std::string archive = Read(Path("book.lzh"));
  archive[archive.find("second")] ^= 0x20;
  Write(Path("book.lzh"), archive);
  Outcome r = Cli("lzh x -C out book.lzh");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "x out/one.txt\nx out/three.txt\n2 member(s) extracted, 1 failed, 0 skipped\n");
  EXPECT_EQ(r.err, "pagora-cli: lzh x: two.txt: Bad CRC during expansion -- data may be invalid\n");
  EXPECT_EQ(Read(Path("out/three.txt")), "third\n");
  EXPECT_FALSE(fs::exists(Path("out/two.txt")));

  // A reason is given also when the target folder can't take a file.
  Write(Path("plainfile"), "x");
  r = Cli("lzh x -C plainfile/sub book.lzh one.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("pagora-cli: lzh x: one.txt: Cannot create file plainfile/sub/one.txt: "),
            std::string::npos)
      << r.err;
}

TEST_F(CliLzh, BrokenAndForeignFilesAreSaidToBeSo) {
  makeBook();
  std::string archive = Read(Path("book.lzh"));
  archive[memberStart(archive, 1) + 1] ^= 0x55;  // the second header's checksum
  Write(Path("broken.lzh"), archive);
  Write(Path("text.lzh"), "This is a plain text file, long enough to hold a header or two.\n");
  Write(Path("short.lzh"), "hello\n");

  Outcome r = Cli("lzh l broken.lzh");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("one.txt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("three.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("pagora-cli: lzh l: broken.lzh: Bad checksum in LHA archive header: "),
            std::string::npos)
      << r.err;

  r = Cli("lzh t broken.lzh");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.out.find(
          "OK      one.txt\nFAILED  header of member 2: Bad checksum in LHA archive header: "),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("1 member(s) tested, 1 failed\n"), std::string::npos) << r.out;

  for (const char* command : {"l", "t", "x", "p"}) {
    for (const char* name : {"text.lzh", "short.lzh"}) {
      SCOPED_TRACE(std::string(command) + " " + name);
      r = Cli(std::string("lzh ") + command + " " + name);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "pagora-cli: lzh " + std::string(command) + ": " + name +
                           " is not an LZH archive\n");
    }
  }
  // A broken first header is named as such, not taken for another kind of file.
  archive = Read(Path("book.lzh"));
  archive[1] ^= 0x55;
  Write(Path("first.lzh"), archive);
  r = Cli("lzh t first.lzh");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("FAILED  header of member 1: Bad checksum in LHA archive header: "),
            std::string::npos)
      << r.out;
  // An empty archive (only the end marker) is no fault.
  Write(Path("empty.lzh"), std::string(1, '\0'));
  EXPECT_EQ(Cli("lzh t empty.lzh").status, 0);
}

TEST_F(CliLzh, AddRefusesAFileThatIsNotAnArchive) {
  Write(Path("one.txt"), "first text\n");
  for (const std::string& content : {std::string("short\n"), std::string(5000, 'x')}) {
    for (const char* mode : {"", "--append "}) {
      SCOPED_TRACE(std::string(mode) + std::to_string(content.size()));
      Write(Path("notes.lzh"), content);
      Outcome r = Cli(std::string("lzh a ") + mode + "notes.lzh one.txt");
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "pagora-cli: lzh a: notes.lzh is not an LZH archive; nothing was changed\n");
      EXPECT_EQ(Read(Path("notes.lzh")), content);
    }
  }
}

TEST_F(CliLzh, CancelAtTheConfirmationIsAFailure) {
  makeBook();
  Outcome r = Cli("lzh a --confirm book.lzh one.txt two.txt", "q\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("pagora-cli: lzh a: Operation cancelled\n"), std::string::npos) << r.err;
  r = Cli("lzh x --confirm -C out book.lzh", "y\nq\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("pagora-cli: lzh x: Operation cancelled\n"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(Path("out/one.txt")));
  EXPECT_FALSE(fs::exists(Path("out/two.txt")));
}

TEST_F(CliLzh, InputsOfAdd) {
  Write(Path("one.txt"), "first text\n");
  Write(Path("two.txt"), "second\n");
  // A pattern that matches nothing writes no archive.
  Outcome r = Cli("lzh a new.lzh one.txt '*.none'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pagora-cli: lzh a: No file matches *.none; nothing was changed\n");
  EXPECT_FALSE(fs::exists(Path("new.lzh")));

  // The archive met among its inputs is skipped, whatever its spelling; a file named twice is
  // one member.
  const char* cases[] = {
      "lzh a book.lzh '*'",
      "lzh a book.lzh *",
      "lzh a --append book.lzh '*'",
      "lzh a book.lzh ./book.lzh \"$PWD/book.lzh\" ../\"$(basename \"$PWD\")\"/book.lzh two.txt "
      "two.txt ./two.txt",
      "lzh a --append book.lzh \"$PWD/book.lzh\" two.txt ./two.txt",
  };
  for (const char* args : cases) {
    SCOPED_TRACE(args);
    fs::remove(Path("book.lzh"));
    ASSERT_EQ(Cli("lzh a book.lzh one.txt").status, 0);
    r = Cli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("it is the archive itself"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("$$$"), std::string::npos) << r.err;
    Outcome list = Cli("lzh l book.lzh");
    EXPECT_EQ(list.out.find("book.lzh"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(" two.txt\n"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find(" two.txt\n"), list.out.rfind(" two.txt\n")) << list.out;
    EXPECT_EQ(Cli("lzh t book.lzh").status, 0);
  }
}

TEST_F(CliLzh, PrintWritesMembersToStandardOutput) {
  makeBook();
  Outcome r = Cli("lzh p book.lzh two.txt one.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "first text\nsecond text, a little longer\n");  // archive order
  r = Cli("lzh p book.lzh nothing.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pagora-cli: lzh p: No member matches nothing.txt\n");
  // Appending to a file keeps what it held.
  Write(Path("log"), "before\n");
  ASSERT_EQ(
      std::system(
          ("cd '" + dir_.string() + "' && '" + kCli + "' lzh p book.lzh three.txt >> log").c_str()),
      0);
  EXPECT_EQ(Read(Path("log")), "before\nthird\n");
  // A reader that stops early ends the output without an error message.
  std::string big;
  for (int i = 0; big.size() < 400000; ++i)
    big += "line " + std::to_string(i * 7919 % 100003) + "\n";
  Write(Path("big.txt"), big);
  ASSERT_EQ(Cli("lzh a big.lzh big.txt").status, 0);
  ASSERT_EQ(std::system(("cd '" + dir_.string() + "' && '" + kCli +
                         "' lzh p big.lzh 2> err | head -c 7 > head")
                            .c_str()),
            0);
  EXPECT_EQ(Read(Path("head")), "line 0\n");
  EXPECT_EQ(Read(Path("err")), "");
}

TEST_F(CliLzh, TestWritesNoFile) {
  makeBook();
  Outcome r = Cli("lzh t book.lzh", "", "TMPDIR=/nonexistent/folder");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "OK      one.txt\nOK      two.txt\nOK      three.txt\n3 member(s) tested, 0 failed\n");
}

TEST_F(CliLzh, ListingAndUsage) {
  Write(Path("one.txt"), std::string(1000, 'a') + "b");
  ASSERT_EQ(Cli("lzh a --method lh0 book.lzh one.txt").status, 0);
  Outcome r = Cli("lzh l book.lzh");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("     1001     1001 100.0% -lh0- "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("scrambled"), std::string::npos) << r.out;
  ASSERT_EQ(Cli("lzh a --append --password pw book.lzh one.txt").status, 0);
  r = Cli("lzh l book.lzh");
  EXPECT_NE(r.out.find("1* one.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(* = scrambled with a password)"), std::string::npos) << r.out;

  for (const char* args :
       {"lzh", "lzh x", "lzh l a b c", "lzh a --level 7 x.lzh one.txt", "lzh q"}) {
    SCOPED_TRACE(args);
    r = Cli(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
  r = Cli("lzh l missing.lzh");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pagora-cli: lzh l: Cannot open missing.lzh: No such file or directory\n");
}

// The question comes only on a terminal; its answers decide file by file.
TEST_F(CliLzh, ReplaceQuestionOnATerminal) {
  makeBook();
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) Write(Path("out/") + name, "mine\n");
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(dir_.c_str()) != 0) _exit(127);
    ::execl(kCli.c_str(), kCli.c_str(), "lzh", "x", "-C", "out", "book.lzh",
            static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string seen;
  auto waitFor = [&](const std::string& text) {
    char buffer[256];
    while (seen.find(text) == std::string::npos) {
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got <= 0) return false;
      seen.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  };
  ASSERT_TRUE(waitFor("Replace out/one.txt? [y]es, [n]o, [A]ll, [N]one: ")) << seen;
  ASSERT_EQ(::write(master, "n\n", 2), 2);
  ASSERT_TRUE(waitFor("Replace out/two.txt? [y]es, [n]o, [A]ll, [N]one: ")) << seen;
  ASSERT_EQ(::write(master, "A\n", 2), 2);
  waitFor("member(s) extracted");
  waitFor("\n");
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(master);
  EXPECT_EQ(WEXITSTATUS(status), 0) << seen;
  EXPECT_EQ(seen.find("Replace out/three.txt"), std::string::npos) << seen;
  EXPECT_EQ(Read(Path("out/one.txt")), "mine\n");
  EXPECT_EQ(Read(Path("out/two.txt")), "second text, a little longer\n");
  EXPECT_EQ(Read(Path("out/three.txt")), "third\n");
}

}  // namespace

// A level-0 name field may hold a note after a zero byte; `l -v` shows it under the member.
TEST_F(CliLzh, VerboseListingShowsMemberNotes) {
  const std::string data = "noted text";
  const std::string name = std::string("NOTE.TXT") + '\0' + "read me first";
  std::string header = "-lh0-";
  auto put32 = [&header](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) header += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  put32(static_cast<std::uint32_t>(data.size()));
  put32(static_cast<std::uint32_t>(data.size()));
  put32(0x5A210000);  // time and date
  header += '\x20';   // attribute
  header += '\0';     // level 0
  header += static_cast<char>(name.size());
  header += name;
  header += std::string("\0\0", 2);  // CRC (not read by the listing)
  std::string archive(1, static_cast<char>(header.size()));
  archive += '\0';
  archive += header;
  fixChecksum(archive, 0);
  Write(Path("noted.lzh"), archive + data + std::string(1, '\0'));

  Outcome r = Cli("lzh l -v noted.lzh");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" NOTE.TXT\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("          note: read me first\n"), std::string::npos) << r.out;
  r = Cli("lzh l noted.lzh");
  EXPECT_EQ(r.out.find("note:"), std::string::npos) << r.out;
}
