// Section "Main" of config.ini: reading what the original program and people write, writing
// what it wrote, and where the file lives.
#include "settings/main_settings.h"

#include <cstdlib>

#include "settings/inifile.h"
#include "temp_folder.h"

namespace pagora {
namespace {

// A folder of its own per test, as root_, with files written and read by relative name.
class SettingsTest : public ::testing::Test {
 protected:
  std::string write(const std::string& relative, const std::string& bytes) {
    return folder_.write(relative, bytes);
  }
  static std::string read(const std::filesystem::path& path) {
    return testing_support::readFile(path);
  }

  void SetUp() override { std::filesystem::create_directories(root_ / "prog"); }

  testing_support::TempFolder folder_;
  // The program's own folder is root_/prog.
  const std::filesystem::path root_ = folder_.path();
};

TEST_F(SettingsTest, ReadsKeysDefaultsAndOddValues) {
  struct Case {
    const char* what;
    std::string file;  // empty: no file at all
    TMainSettings expected;
  } cases[] = {
      {"no file", "", TMainSettings{}},
      {"BaudRate as written", "[Main]\r\nBaudRate=3\r\n",
       TMainSettings{"", "book", 0, 3, false, ""}},
      {"Baudrate as read", "[Main]\r\nBaudrate=3\r\n", TMainSettings{"", "book", 0, 3, false, ""}},
      {"hexadecimal port", "[main]\r\ncomport=0x2\r\n", TMainSettings{"", "book", 2, 0, false, ""}},
      {"port that is no number", "[Main]\r\nComPort=two\r\n", TMainSettings{}},
      {"all keys",
       "[Main]\r\nPVM=C:\\PVM\\pvm.exe\r\nLastBook=war.lzh\r\nComPort=3\r\nBaudRate=4\r\nAuto="
       "7\r\n",
       TMainSettings{"C:\\PVM\\pvm.exe", "war.lzh", 3, 4, true, ""}},
      {"first of two keys wins", "[Main]\r\nComPort=1\r\nComPort=2\r\n",
       TMainSettings{"", "book", 1, 0, false, ""}},
      {"extra serial device", "[Main]\r\nPortName=/dev/ttyUSB0\r\n",
       TMainSettings{"", "book", 0, 0, false, "/dev/ttyUSB0"}},
      {"other section only", "[Form1]\r\nComPort=3\r\n", TMainSettings{}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(root_ / "config.ini");
    if (!c.file.empty()) write("config.ini", c.file);
    TIniFile ini(root_ / "config.ini");
    TMainSettings s = readMainSettings(ini);
    EXPECT_EQ(s.PVM, c.expected.PVM) << c.what;
    EXPECT_EQ(s.LastBook, c.expected.LastBook) << c.what;
    EXPECT_EQ(s.ComPort, c.expected.ComPort) << c.what;
    EXPECT_EQ(s.BaudRate, c.expected.BaudRate) << c.what;
    EXPECT_EQ(s.Auto, c.expected.Auto) << c.what;
    EXPECT_EQ(s.PortName, c.expected.PortName) << c.what;
  }
}

TEST_F(SettingsTest, LongValuesAreCutAt1023Characters) {
  write("config.ini", "[Main]\r\nLastBook=" + std::string(2000, 'b') + "\r\n");
  TIniFile ini(root_ / "config.ini");
  EXPECT_EQ(readMainSettings(ini).LastBook, std::string(1023, 'b'));
}

TEST_F(SettingsTest, WritesTheKeysInOrderAndKeepsTheRestOfTheFile) {
  write("config.ini", "; mine\r\n[Form1]\r\nShowCmd=1\r\n\r\n[Main]\r\nBaudrate=1\r\nOther=x\r\n");
  TIniFile ini(root_ / "config.ini");
  writeMainSettings(ini, TMainSettings{"/opt/pvm/pvm.exe", "book.lzh", 1, 4, false, ""});
  EXPECT_EQ(read(root_ / "config.ini"),
            "; mine\r\n[Form1]\r\nShowCmd=1\r\n\r\n[Main]\r\nBaudRate=4\r\nOther=x\r\n"
            "PVM=/opt/pvm/pvm.exe\r\nLastBook=book.lzh\r\nComPort=1\r\nAuto=0\r\n");
}

TEST_F(SettingsTest, PortNameIsWrittenOnlyWhileADeviceIsChosen) {
  TIniFile ini(root_ / "config.ini");
  writeMainSettings(ini, TMainSettings{"", "book", 0, 0, true, "/dev/ttyACM0"});
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=1\r\n"
            "PortName=/dev/ttyACM0\r\n");
  writeMainSettings(ini, TMainSettings{"", "book", 2, 0, true, ""});
  EXPECT_EQ(read(root_ / "config.ini"),
            "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=2\r\nBaudRate=0\r\nAuto=1\r\n");
}

// The switches added after the first release write a line only while away from their default,
// so the file of a user who never touched them stays as it was; each reads back as written.
TEST_F(SettingsTest, NewSwitchesAreWrittenOnlyAwayFromTheirDefault) {
  const std::string base =
      "[Main]\r\nPVM=\r\nLastBook=book\r\nComPort=0\r\nBaudRate=0\r\nAuto=0\r\n";
  struct Row {
    const char* what;
    std::string language;
    bool convert;
    bool tidy;
    std::string lines;  // after the fixed keys
  } rows[] = {
      {"defaults", "", true, false, ""},
      {"Russian windows", "ru", true, false, "Language=ru\r\n"},
      {"texts stored as they are", "", false, false, "ConvertTexts=0\r\n"},
      {"texts tidied", "", true, true, "TidyTexts=1\r\n"},
      {"all three", "en", false, true, "Language=en\r\nConvertTexts=0\r\nTidyTexts=1\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // Written over a file that had every switch away from its default: the lines go again.
    write("config.ini", base + "Language=ru\r\nConvertTexts=0\r\nTidyTexts=1\r\n");
    TIniFile ini(root_ / "config.ini");
    TMainSettings settings;
    settings.Language = row.language;
    settings.ConvertTexts = row.convert;
    settings.TidyTexts = row.tidy;
    writeMainSettings(ini, settings);
    EXPECT_EQ(read(root_ / "config.ini"), base + row.lines);
    const TMainSettings back = readMainSettings(TIniFile(root_ / "config.ini"));
    EXPECT_EQ(back.Language, row.language);
    EXPECT_EQ(back.ConvertTexts, row.convert);
    EXPECT_EQ(back.TidyTexts, row.tidy);
  }
}

TEST_F(SettingsTest, RefusedWriteNamesTheFile) {
  write("blocker", "a file where a folder should be");
  auto name = root_ / "blocker" / "config.ini";
  TIniFile ini(name);
  try {
    writeMainSettings(ini, TMainSettings{});
    FAIL() << "writing under a file cannot succeed";
  } catch (const EIniWrite& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + name.string());
  }
}

TEST_F(SettingsTest, FileLivesBesideTheProgramOrInTheUserFolder) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  std::string saved = oldXdg ? oldXdg : "";
  ::setenv("XDG_CONFIG_HOME", (root_ / "xdg").c_str(), 1);
  EXPECT_EQ(mainSettingsPath(root_ / "prog"), root_ / "prog" / "config.ini");
  // A folder that does not exist cannot take the file.
  EXPECT_EQ(mainSettingsPath(root_ / "missing"), root_ / "xdg" / "pagora" / "config.ini");
  write("missing-read/config.ini", "[Main]\r\nComPort=1\r\n");
  EXPECT_EQ(mainSettingsReadPath(root_ / "prog"), root_ / "prog" / "config.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/not/allowed", 1);
  EXPECT_EQ(userConfigFolder().filename(), "pagora");
  EXPECT_TRUE(userConfigFolder().is_absolute() || std::getenv("HOME") == nullptr);
  if (oldXdg) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace pagora
