// Expansion never writes outside the target folder: rooted, drive-prefixed and ".." names,
// NUL bytes, and symbolic links in the target tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "archive/lzharchiver.h"
#include "component_fixture.h"
#include "crc16.h"
#include "lzh_format.h"
#include "lzh_names.h"

namespace pagora {
namespace {

using testing_support::Bytes;
using testing_support::fileExists;
using testing_support::listTree;
using testing_support::readBytes;
using testing_support::TempFolder;
using testing_support::writeFile;

// An archive of stored members with the given names, each holding its own name as data.
Bytes archiveOf(const std::vector<std::string>& names, int level) {
  Bytes out;
  for (const std::string& name : names) {
    LzhMemberHeader h;
    h.methodId = "-lh0-";
    h.packedSize = h.originalSize = static_cast<std::uint32_t>(name.size());
    h.levelByte = static_cast<std::uint8_t>(level);
    h.name = name;
    h.crc = crc16(name.data(), name.size());
    Bytes header = encodeMemberHeader(h);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), name.begin(), name.end());
  }
  out.push_back(0);
  return out;
}

TEST(SafetyPaths, RelativePathTable) {
  struct Case {
    std::string member;
    std::string relative;  // empty: refused
  };
  const Case cases[] = {
      {"A.TXT", "A.TXT"},
      {"BOOK\\A.TXT", "BOOK/A.TXT"},
      {"\\BOOK\\A.TXT", "BOOK/A.TXT"},
      {"\\\\server\\share\\A.TXT", "server/share/A.TXT"},
      {"C:\\WINDOWS\\A.TXT", "WINDOWS/A.TXT"},
      {"C:A.TXT", "A.TXT"},
      {"/etc/passwd", "etc/passwd"},
      {".\\A.TXT", "A.TXT"},
      {"BOOK\\.\\A.TXT", "BOOK/A.TXT"},
      {"..\\A.TXT", ""},
      {"BOOK\\..\\..\\A.TXT", ""},
      {"../A.TXT", ""},
      {"C:..\\A.TXT", ""},
      {"BOOK\\..", ""},
      {"..", ""},
      {"", ""},
      {"\\", ""},
      {"C:", ""},
      {std::string("A\0/../../B", 10), ""},
      {"...\\A.TXT", ".../A.TXT"},
      {"..A.TXT", "..A.TXT"},
  };
  for (const Case& c : cases) {
    if (c.relative.empty()) {
      EXPECT_THROW(lzhSafeRelativePath(c.member), ELzhUnsafePath) << c.member;
    } else {
      EXPECT_EQ(lzhSafeRelativePath(c.member), c.relative) << c.member;
    }
  }
  try {
    lzhSafeRelativePath("..\\evil");
  } catch (const ELzhUnsafePath& e) {
    EXPECT_STREQ(e.what(), "Unsafe member name in archive: ..\\evil");
  }
}

TEST(SafetyPaths, RootedAndDriveNamesLandInsideTheTarget) {
  TempFolder dir;
  for (int level : {0, 1}) {
    std::filesystem::remove_all(dir / "target");
    writeFile(dir / "a.lzh",
              archiveOf({"\\ROOT.TXT", "C:\\DRIVE.TXT", "D:REL.TXT", "/SLASH/X.TXT"}, level));
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.MakeDirectories = true;
    archiver.setTargetPath(dir / "target");
    archiver.Expand();
    EXPECT_EQ(
        listTree(dir / "target"),
        (std::vector<std::string>{"DRIVE.TXT", "REL.TXT", "ROOT.TXT", "SLASH", "SLASH/X.TXT"}))
        << level;
    EXPECT_EQ(readBytes(dir / "target/DRIVE.TXT"),
              Bytes({'C', ':', '\\', 'D', 'R', 'I', 'V', 'E', '.', 'T', 'X', 'T'}));
  }
}

TEST(SafetyPaths, DotDotIsRefusedAndNothingIsWrittenOutside) {
  TempFolder dir;
  const std::vector<std::string> evil = {"..\\ESCAPE.TXT", "SUB\\..\\..\\ESCAPE.TXT",
                                         "../ESCAPE.TXT", "C:..\\ESCAPE.TXT"};
  for (int level : {0, 1}) {
    for (const std::string& name : evil) {
      std::filesystem::remove_all(dir / "target");
      std::filesystem::create_directories(dir / "target");
      writeFile(dir / "a.lzh", archiveOf({"GOOD.TXT", name, "LATER.TXT"}, level));
      TLzhArchiver archiver;
      archiver.ArchiveName = dir / "a.lzh";
      archiver.MakeDirectories = true;
      archiver.setTargetPath(dir / "target");
      try {
        archiver.Expand();
        ADD_FAILURE() << name;
      } catch (const ELzhUnsafePath& e) {
        EXPECT_EQ(std::string(e.what()), "Unsafe member name in archive: " + name);
      }
      EXPECT_EQ(archiver.ProcessedFiles(), std::vector<std::string>{dir / "target/GOOD.TXT"});
      EXPECT_EQ(listTree(dir.path().string()),
                (std::vector<std::string>{"a.lzh", "target", "target/GOOD.TXT"}))
          << name;
      // Verify refuses the same way and leaves no temporary file behind.
      EXPECT_THROW(archiver.Verify(), ELzhUnsafePath);
      EXPECT_EQ(listTree(dir.path().string()),
                (std::vector<std::string>{"a.lzh", "target", "target/GOOD.TXT"}))
          << name;
    }
  }
}

TEST(SafetyPaths, HostMaySkipOrRenameARefusedNameButNotKeepItsDotDot) {
  TempFolder dir;
  writeFile(dir / "a.lzh", archiveOf({"..\\EVIL.TXT", "C:..\\X\\EVIL2.TXT", "FINE.TXT"}, 1));
  struct Case {
    const char* what;
    std::function<void(const std::string&, std::string&)> host;
    std::vector<std::string> written;  // empty: refused
  };
  const std::string target = dir / "target/";
  const Case cases[] = {
      {"skip",
       [](const std::string& m, std::string& t) {
         if (m != "FINE.TXT") t.clear();
       },
       {"FINE.TXT"}},
      {"rename",
       [&](const std::string& m, std::string& t) {
         if (m != "FINE.TXT") t = target + "SAVED" + std::to_string(m.size());
       },
       {"FINE.TXT", "SAVED11", "SAVED16"}},
      {"shown name",
       [&](const std::string& m, std::string& t) {
         if (m == "..\\EVIL.TXT") {
           EXPECT_EQ(t, target + "../EVIL.TXT");
         }
         if (m == "C:..\\X\\EVIL2.TXT") {
           EXPECT_EQ(t, target + "../X/EVIL2.TXT");
         }
       },
       {}},
      {"recoded but still outside", [&](const std::string&, std::string& t) { t += ".utf8"; }, {}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir / "target");
    std::filesystem::create_directories(dir / "target");
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.setTargetPath(dir / "target");
    archiver.OnCheckFile = [&](const std::string& member, std::string& t, std::int32_t,
                               TLzhProcessMode) { c.host(member, t); };
    if (c.written.empty()) {
      EXPECT_THROW(archiver.Expand(), ELzhUnsafePath) << c.what;
    } else {
      archiver.Expand();
    }
    EXPECT_EQ(listTree(dir / "target"), c.written) << c.what;
    EXPECT_EQ(listTree(dir.path().string()).size(), 2 + c.written.size()) << c.what;
  }
}

TEST(SafetyPaths, SymbolicLinksInTheTargetAreNeverFollowed) {
  TempFolder dir;
  writeFile(dir / "outside/victim.txt", "keep me");
  std::filesystem::create_directories(dir / "target");
  std::filesystem::create_directory_symlink(dir / "outside", dir / "target/LINKDIR");
  std::filesystem::create_symlink(dir / "outside/victim.txt", dir / "target/LINK.TXT");
  struct Case {
    std::string member;
    bool safeMode;
  };
  const Case cases[] = {{"LINKDIR\\victim.txt", false},
                        {"LINKDIR\\NEW.TXT", false},
                        {"LINK.TXT", false},
                        {"LINK.TXT", true},
                        {"LINKDIR\\victim.txt", true}};
  for (const Case& c : cases) {
    writeFile(dir / "a.lzh", archiveOf({c.member}, 1));
    TLzhArchiver archiver;
    archiver.ArchiveName = dir / "a.lzh";
    archiver.MakeDirectories = true;
    archiver.ExceptionOnFileError = true;
    archiver.SafeMode = c.safeMode;
    archiver.setTargetPath(dir / "target");
    EXPECT_THROW(archiver.Expand(), ELzhUnsafePath) << c.member;
    EXPECT_EQ(listTree(dir / "outside"), std::vector<std::string>{"victim.txt"}) << c.member;
    EXPECT_EQ(readBytes(dir / "outside/victim.txt"), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'}))
        << c.member;
    EXPECT_EQ(listTree(dir / "target"), (std::vector<std::string>{"LINK.TXT", "LINKDIR"}))
        << c.member;
  }
}

TEST(SafetyPaths, ExpansionNeverCreatesSymbolicLinks) {
  TempFolder dir;
  writeFile(dir / "a.lzh", archiveOf({"A\\B.TXT", "C.TXT"}, 1));
  TLzhArchiver archiver;
  archiver.ArchiveName = dir / "a.lzh";
  archiver.MakeDirectories = true;
  archiver.setTargetPath(dir / "t");
  archiver.Expand();
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "t"))
    EXPECT_FALSE(e.is_symlink()) << e.path();
}

}  // namespace
}  // namespace pagora
