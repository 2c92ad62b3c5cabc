// Archives written by the component must test clean and extract byte for byte with three
// independent LZH readers: lhasa, bsdtar (libarchive) and 7z. A missing reader is a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>

#include "archive/lzharchiver.h"
#include "component_fixture.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::proseText;
using testing_support::randomBytes;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

// Runs a program found on PATH with its standard output into outFile; 127 when it is missing.
int run(const std::vector<std::string>& argv, const std::string& outFile,
        const std::string& cwd = {}) {
  pid_t child = ::fork();
  if (child == 0) {
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(out, 1);
    ::dup2(null, 2);
    ::dup2(null, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Member {
  std::string path;  // relative, '/' between folders
  Bytes data;
};

std::vector<Member> members(bool large) {
  std::vector<Member> out = {
      {"EMPTY.TXT", {}},
      {"ONE.TXT", {'x'}},
      {"SEVEN.TXT", {'a', 'b', 'c', 'd', 'e', 'f', 'g'}},
      {"EQUAL.BIN", Bytes(300, 0x41)},
      {"BOOK/PART1.TXT", proseText(31, 8192)},
      {"BOOK/DEEP/PART2.TXT", proseText(32, 16360)},
      {"BOOK/PART3.TXT", proseText(33, 16361)},
      {"TEXT.TXT", proseText(34, 100000)},
      {"RANDOM.BIN", randomBytes(35, 50000)},
  };
  if (large) {
    out.push_back({"LARGE/TEXT.TXT", proseText(36, 3u << 20)});
    out.push_back({"LARGE/RANDOM.BIN", randomBytes(37, 1u << 20)});
  }
  return out;
}

std::string lowered(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Reads an extracted file whose name the reader may have lower-cased (MS-DOS names).
Bytes readExtracted(const std::string& folder, const std::string& path) {
  if (testing_support::fileExists(folder + "/" + path)) return readBytes(folder + "/" + path);
  for (const std::string& name : testing_support::listTree(folder))
    if (lowered(name) == lowered(path)) return readBytes(folder + "/" + name);
  ADD_FAILURE() << path << " not extracted into " << folder;
  return {};
}

void checkWithPeers(const TempFolder& dir, TLzhMethod method, TLzhArchiveType type, bool large) {
  const std::string label =
      std::string("method ") + std::to_string(method) + " level " + std::to_string(type);
  const std::vector<Member> content = members(large);
  const std::string src = dir / "src";
  std::filesystem::remove_all(src);
  std::vector<std::string> files;
  for (const Member& m : content) {
    writeFile(src + "/" + m.path, m.data);
    files.push_back(src + "/" + m.path);
  }
  const std::string archive = dir / "peer.lzh";
  std::filesystem::remove(archive);
  TLzhArchiver archiver;
  archiver.ArchiveName = archive;
  archiver.ArchiveType = type;
  archiver.CompressionMethod = method;
  archiver.StorePath = true;
  archiver.setTargetPath(src);
  archiver.setFilesToProcess(files);
  archiver.Compress();
  ASSERT_TRUE(archiver.Scan());
  ASSERT_EQ(archiver.FileInfoList().size(), content.size());
  const std::string log = dir / "log.txt";

  EXPECT_EQ(run({"lhasa", "t", archive}, log), 0) << label << ": lhasa t";
  std::filesystem::remove_all(dir / "lhasa");
  std::filesystem::create_directories(dir / "lhasa");
  ASSERT_EQ(run({"lhasa", "xf", archive}, log, dir / "lhasa"), 0) << label << ": lhasa x";

  // 7z and libarchive have no "-lh1-" decoder: lhasa alone checks those members.
  bool anyLh1 = false;
  for (const TLzhFileInfo& info : archiver.FileInfoList()) anyLh1 = anyLh1 || info.Method == colh1;
  if (!anyLh1) {
    EXPECT_EQ(run({"7z", "t", archive}, log), 0) << label << ": 7z t";
    std::filesystem::remove_all(dir / "7z");
    ASSERT_EQ(run({"7z", "x", "-y", "-o" + (dir / "7z"), archive}, log), 0) << label << ": 7z x";
  } else {
    EXPECT_EQ(run({"7z", "l", archive}, log), 0) << label << ": 7z l";
  }

  for (std::size_t i = 0; i < content.size(); ++i) {
    const Member& m = content[i];
    EXPECT_EQ(readExtracted(dir / "lhasa", m.path), m.data) << label << ": lhasa " << m.path;
    const TLzhFileInfo& info = archiver.FileInfoList()[i];
    if (info.Method == colh1) continue;
    if (!anyLh1) {
      EXPECT_EQ(readExtracted(dir / "7z", m.path), m.data) << label << ": 7z " << m.path;
    }
    // libarchive refuses "-lh5-" data shorter than 8 bytes although it is valid.
    if (info.Method == colh5 && info.CompressedSize < 8) continue;
    std::string name = archiver.FileList()[i];
    std::replace(name.begin(), name.end(), '\\', '/');
    ASSERT_EQ(run({"bsdtar", "-xOf", archive, name}, log), 0) << label << ": bsdtar " << name;
    EXPECT_EQ(readBytes(log), m.data) << label << ": bsdtar " << m.path;
  }
}

TEST(PeerReaders, StoredArchivesOfBothLevels) {
  TempFolder dir;
  checkWithPeers(dir, colh0, caLHARC, false);
  checkWithPeers(dir, colh0, caLHA, false);
}

TEST(PeerReaders, Lh1ArchivesOfBothLevels) {
  TempFolder dir;
  checkWithPeers(dir, colh1, caLHARC, false);
  checkWithPeers(dir, colh1, caLHA, false);
}

TEST(PeerReaders, Lh5ArchivesOfBothLevelsWithSeveralMegabytes) {
  TempFolder dir;
  checkWithPeers(dir, colh5, caLHARC, false);
  checkWithPeers(dir, colh5, caLHA, true);
}

}  // namespace
}  // namespace pagora
