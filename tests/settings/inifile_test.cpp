// The settings file: what reads find in given bytes, and the exact bytes writes leave behind.
#include "settings/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "temp_folder.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::string expected;  // with default "DEF"
};

TEST(IniFile, ReadsFollowProfileRules) {
  const std::string longValue(1500, 'v');
  const ReadCase cases[] = {
      {"plain", "[Main]\r\nPVM=c:\\pv\\pvm.exe\r\n", "Main", "PVM", "c:\\pv\\pvm.exe"},
      {"key case", "[Main]\r\nBaudRate=3\r\n", "Main", "Baudrate", "3"},
      {"section case", "[main]\r\nAuto=1\r\n", "MAIN", "auto", "1"},
      {"blanks around", "  [ Main ]  \r\n  LastBook  =  my book  \r\n", "Main", "LastBook",
       "my book"},
      {"quotes stripped", "[Main]\r\nLastBook=\"  spaced  \"\r\n", "Main", "LastBook",
       "  spaced  "},
      {"first key wins", "[Main]\r\nComPort=1\r\nComPort=2\r\n", "Main", "ComPort", "1"},
      {"first section wins", "[Main]\r\nA=1\r\n[Main]\r\nA=2\r\nB=3\r\n", "Main", "B", "DEF"},
      {"missing key", "[Main]\r\nA=1\r\n", "Main", "B", "DEF"},
      {"missing section", "[Form1]\r\nA=1\r\n", "Main", "A", "DEF"},
      {"key of another section", "[Form1]\r\nA=1\r\n[Main]\r\n", "Main", "A", "DEF"},
      {"comment is no key", "[Main]\r\n;A=1\r\n", "Main", "A", "DEF"},
      {"empty value", "[Main]\r\nA=\r\n", "Main", "A", ""},
      {"equals inside value", "[Main]\r\nA=x=y\r\n", "Main", "A", "x=y"},
      {"lone LF lines", "[Main]\nA=lf\n", "Main", "A", "lf"},
      {"no final line end", "[Main]\r\nA=last", "Main", "A", "last"},
      {"value cut to 1023", "[Main]\r\nA=" + longValue + "\r\n", "Main", "A",
       std::string(1023, 'v')},
      {"empty file", "", "Main", "A", "DEF"},
  };
  TempFolder dir;
  for (const auto& c : cases) {
    const std::string path = dir.file("config.ini");
    writeFile(path, c.file);
    TIniFile ini(path);
    EXPECT_EQ(ini.readString(c.section, c.key, "DEF"), c.expected) << c.name;
  }
}

TEST(IniFile, MissingFileGivesDefaults) {
  TempFolder dir;
  TIniFile ini(dir.file("none.ini"));
  EXPECT_EQ(ini.readString("Main", "LastBook", "book"), "book");
  EXPECT_EQ(ini.readInteger("Main", "ComPort", 0), 0);
  EXPECT_FALSE(ini.readBool("Main", "Auto", false));
  EXPECT_FALSE(ini.sectionExists("Main"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.ini")));
}

TEST(IniFile, IntegersAndBooleans) {
  const struct {
    const char* value;
    int expected;  // default -7
  } cases[] = {
      {"3", 3},
      {"-12", -12},
      {"+5", 5},
      {"0x2", 2},
      {"0X1f", 31},
      {"0xFFFFFFFF", -1},
      {"two", -7},
      {"", -7},
      {"0x", -7},
      {"12a", -7},
      {"2147483647", 2147483647},
      {"2147483648", -7},
      {"-2147483648", INT_MIN},
      {"0x100000000", -7},
      {" 42 ", 42},
      {"4 2", -7},
  };
  TempFolder dir;
  const std::string path = dir.file("config.ini");
  for (const auto& c : cases) {
    writeFile(path, std::string("[Main]\r\nN=") + c.value + "\r\n");
    EXPECT_EQ(TIniFile(path).readInteger("Main", "N", -7), c.expected) << c.value;
  }
  const struct {
    const char* value;
    bool def;
    bool expected;
  } bools[] = {{"1", false, true},  {"0", true, false},  {"5", false, true},
               {"-1", false, true}, {"yes", true, true}, {"yes", false, false}};
  for (const auto& b : bools) {
    writeFile(path, std::string("[Main]\r\nB=") + b.value + "\r\n");
    EXPECT_EQ(TIniFile(path).readBool("Main", "B", b.def), b.expected) << b.value;
  }
}

TEST(IniFile, WritesChangeOnlyTheirLine) {
  const struct {
    const char* name;
    std::string before;
    std::string section, key, value;
    std::string after;
  } cases[] = {
      {"new file", "", "Main", "PVM", "x", "[Main]\r\nPVM=x\r\n"},
      {"replace keeps the rest",
       "; settings\r\n[Main]\r\nBaudrate=1\r\n  Auto = 0 \r\n\r\n[Form1]\r\nFlags=0\r\n", "Main",
       "BaudRate", "4",
       "; settings\r\n[Main]\r\nBaudRate=4\r\n  Auto = 0 \r\n\r\n[Form1]\r\nFlags=0\r\n"},
      {"new key after the section's last line", "[Main]\r\nA=1\r\n\r\n[Form1]\r\nX=1\r\n", "main",
       "B", "2", "[Main]\r\nA=1\r\nB=2\r\n\r\n[Form1]\r\nX=1\r\n"},
      {"new section at the end", "[Main]\r\nA=1\r\n", "Form2", "ShowCmd", "1",
       "[Main]\r\nA=1\r\n[Form2]\r\nShowCmd=1\r\n"},
      {"file without final line end", "[Main]\r\nA=1", "Main", "B", "2",
       "[Main]\r\nA=1\r\nB=2\r\n"},
      {"LF file stays LF", "[Main]\nA=1\n", "Main", "B", "2", "[Main]\nA=1\nB=2\n"},
      {"first of duplicate keys", "[Main]\r\nA=1\r\nA=2\r\n", "Main", "A", "9",
       "[Main]\r\nA=9\r\nA=2\r\n"},
      {"first of duplicate sections", "[Main]\r\nA=1\r\n[Main]\r\nA=2\r\n", "Main", "A", "9",
       "[Main]\r\nA=9\r\n[Main]\r\nA=2\r\n"},
      {"Cyrillic value kept as bytes", "", "Main", "LastBook", "\xEA\xED\xE8\xE3\xE0",
       "[Main]\r\nLastBook=\xEA\xED\xE8\xE3\xE0\r\n"},
  };
  TempFolder dir;
  for (const auto& c : cases) {
    const std::string path = dir.file("config.ini");
    std::filesystem::remove(path);
    if (!c.before.empty()) writeFile(path, c.before);
    TIniFile ini(path);
    ini.writeString(c.section, c.key, c.value);
    EXPECT_EQ(readFile(path), c.after) << c.name;
    EXPECT_EQ(ini.readString(c.section, c.key, "DEF"), c.value) << c.name;
  }
}

TEST(IniFile, IntegerAndBoolWritesAndRemovals) {
  TempFolder dir;
  const std::string path = dir.file("config.ini");
  TIniFile ini(path);
  ini.writeInteger("Main", "ComPort", -3);
  ini.writeBool("Main", "Auto", true);
  ini.writeBool("Main", "Off", false);
  ini.writeString("Form1", "Flags", "0");
  EXPECT_EQ(readFile(path), "[Main]\r\nComPort=-3\r\nAuto=1\r\nOff=0\r\n[Form1]\r\nFlags=0\r\n");
  EXPECT_EQ(ini.readSection("MAIN"), (std::vector<std::string>{"ComPort", "Auto", "Off"}));
  ini.deleteKey("Main", "auto");
  ini.deleteKey("Main", "nothing");
  EXPECT_EQ(readFile(path), "[Main]\r\nComPort=-3\r\nOff=0\r\n[Form1]\r\nFlags=0\r\n");
  ini.eraseSection("main");
  EXPECT_EQ(readFile(path), "[Form1]\r\nFlags=0\r\n");
  EXPECT_TRUE(ini.valueExists("form1", "FLAGS"));
  ini.writeValues("Form1", {{"flags", "2"}, {"ShowCmd", "3"}, {"NormPos", "1,2,3,4"}});
  EXPECT_EQ(readFile(path), "[Form1]\r\nflags=2\r\nShowCmd=3\r\nNormPos=1,2,3,4\r\n");
}

TEST(IniFile, RefusedWriteNamesTheFileAndKeepsIt) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempFolder dir;
  const std::string path = dir.file("config.ini");
  const std::string before = "[Main]\r\nA=1\r\n";
  writeFile(path, before);

  ::chmod(path.c_str(), 0444);
  TIniFile ini(path);
  try {
    ini.writeString("Main", "A", "2");
    FAIL() << "no failure";
  } catch (const EIniWrite& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  EXPECT_EQ(readFile(path), before);

  ::chmod(path.c_str(), 0644);
  ::chmod(dir.path().c_str(), 0555);
  EXPECT_THROW(ini.writeString("Main", "A", "2"), EIniWrite);
  EXPECT_EQ(readFile(path), before);
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1)
      << "a temporary file was left behind";
}

TEST(IniFile, UnwritablePlacesAreWriteFailures) {
  TempFolder dir;
  std::filesystem::create_directories(dir.file("taken.ini"));
  for (const std::string& path : {dir.file("no/such/config.ini"), dir.file("taken.ini")}) {
    TIniFile ini(path);
    try {
      ini.writeInteger("Main", "A", 1);
      ADD_FAILURE() << "no failure for " << path;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.ini")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1)
      << "a temporary file was left behind";
}

}  // namespace
}  // namespace pagora
