// Corvane's command line, argument by argument.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "temp_folder.h"
#endif

#include "uploader/serial_port.h"
#include "uploader/upload_options.h"

namespace corvane {
namespace {

struct OptionsCase {
  std::vector<std::string> arguments;
  bool slashFlags;
  std::string port;
  std::int32_t baud;
  bool deleteFlag;
  std::vector<std::string> files;
};

TEST(UploadOptions, EachRuleAsSpelledOut) {
  const std::vector<OptionsCase> cases = {
      {{"--baudrate=57600", "--port=COM1", "a.lzh"}, false, "COM1", 57600, false, {"a.lzh"}},
      {{}, false, "", 38400, false, {}},
      {{"--baudrate=12345"}, false, "", 38400, false, {}},
      {{"--baudrate=abc"}, false, "", 38400, false, {}},
      {{"--baudrate=57600x"}, false, "", 57600, false, {}},
      {{"--baudrate=  +9600"}, false, "", 9600, false, {}},
      {{"--baudrate=-9600"}, false, "", 38400, false, {}},
      {{"--baudrate=99999999999999999999"}, false, "", 38400, false, {}},
      {{"--baudrate="}, false, "", 38400, false, {}},
      {{"--baudrate"}, false, "", 38400, false, {}},
      {{"--baudrate=300", "--baudrate"}, false, "", 300, false, {}},
      {{"--baudrate=115200", "--baudrate=300"}, false, "", 300, false, {}},
      {{"--baudratex=4800"}, false, "", 4800, false, {}},
      {{"-baudrate=57600"}, false, "", 38400, false, {"baudrate=57600"}},
      {{"--portable=COM3"}, false, "COM3", 38400, false, {}},
      {{"--port=COM1", "--port"}, false, "COM1", 38400, false, {}},
      {{"--port=COM1", "--port="}, false, "", 38400, false, {}},
      {{"--port=COM1", "--port=COM2"}, false, "COM2", 38400, false, {}},
      {{"--port=a=b"}, false, "a=b", 38400, false, {}},
      {{"--delete"}, false, "", 38400, true, {}},
      {{"--delete=1"}, false, "", 38400, false, {"-delete=1"}},
      {{"--deleted"}, false, "", 38400, false, {"-deleted"}},
      {{"-x"}, false, "", 38400, false, {"x"}},
      {{"-"}, false, "", 38400, false, {""}},
      {{""}, false, "", 38400, false, {""}},
      {{"a.lzh", "b.lzh"}, false, "", 38400, false, {"a.lzh", "b.lzh"}},
      {{"b.lzh", "--port=COM4", "a.lzh"}, false, "COM4", 38400, false, {"b.lzh", "a.lzh"}},
      // Only "-" starts an option here: absolute paths are file names, whole.
      {{"/home/u/books/book.lzh"}, false, "", 38400, false, {"/home/u/books/book.lzh"}},
      {{"/-port=COM2"}, false, "", 38400, false, {"/-port=COM2"}},
      // The Windows convention, where "/" starts an option too.
      {{"/-port=COM2"}, true, "COM2", 38400, false, {}},
      {{"/-baudrate=1200", "/-delete"}, true, "", 1200, true, {}},
      {{"/x.lzh"}, true, "", 38400, false, {"x.lzh"}},
  };
  for (const OptionsCase& c : cases) {
    std::string shown;
    for (const std::string& a : c.arguments) shown += "[" + a + "]";
    SCOPED_TRACE(shown + (c.slashFlags ? " with slash flags" : ""));
    const UploadOptions options = parseUploadOptions(c.arguments, c.slashFlags);
    EXPECT_EQ(options.portName, c.port);
    EXPECT_EQ(options.baudRate, c.baud);
    EXPECT_EQ(options.deleteFlag, c.deleteFlag);
    EXPECT_EQ(options.files, c.files);
  }
}

TEST(UploadOptions, FastIsAWholeWordFlagAndEverythingElseStaysAsBefore) {
  struct Case {
    std::vector<std::string> arguments;
    bool fast;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {{}, false, {}},
      {{"--fast"}, true, {}},
      {{"--baudrate=115200", "--port=COM1", "--fast", "book.lzh"}, true, {"book.lzh"}},
      {{"book.lzh", "--fast"}, true, {"book.lzh"}},
      // Near misses are file names, as every unknown flag is.
      {{"--faster"}, false, {"-faster"}},
      {{"--fast=1"}, false, {"-fast=1"}},
      {{"-fast"}, false, {"fast"}},
      {{"fast"}, false, {"fast"}},
  };
  for (const Case& c : cases) {
    const UploadOptions options = parseUploadOptions(c.arguments);
    EXPECT_EQ(options.fast, c.fast) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(options.files, c.files) << ::testing::PrintToString(c.arguments);
    EXPECT_FALSE(options.deleteFlag);
  }
  EXPECT_EQ(parseUploadOptions({"--fast", "--port=COM2"}).portName, "COM2");
}

TEST(UploadOptions, TheTenRatesAndNoOthers) {
  for (std::int32_t rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    EXPECT_EQ(parseUploadOptions({"--baudrate=" + std::to_string(rate)}).baudRate, rate);
  }
  for (std::int32_t rate : {0, 110, 14400, 28800, 56000, 230400}) {
    EXPECT_EQ(parseUploadOptions({"--baudrate=" + std::to_string(rate)}).baudRate, 38400);
  }
}

TEST(UploadOptions, PlatformConvention) {
#ifdef _WIN32
  EXPECT_EQ(parseUploadOptions({"/-port=COM2"}, kSlashFlagsByDefault).portName, "COM2");
#else
  EXPECT_EQ(parseUploadOptions({"/tmp/a.lzh"}, kSlashFlagsByDefault).files,
            std::vector<std::string>{"/tmp/a.lzh"});
#endif
}

#ifndef _WIN32
TEST(SerialPortNames, ComNamesMapToSerialDevices) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"COM1", "/dev/ttyS0"},
      {"COM2", "/dev/ttyS1"},
      {"COM10", "/dev/ttyS9"},
      {"com3", "/dev/ttyS2"},
      {"COM0", "COM0"},
      {"COM", "COM"},
      {"COM1x", "COM1x"},
      {"COMA", "COMA"},
      {"/dev/pts/4", "/dev/pts/4"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"", ""},
  };
  for (const auto& [name, path] : cases) EXPECT_EQ(devicePathForPort(name), path) << name;
}

// The system refuses root nothing, so the refusal is handed in; the group is the file's own.
TEST(SerialPortNames, PermissionHintNamesTheOwningGroupOnlyForARefusal) {
  const pagora::testing_support::TempFolder folder("corvane-hint-");
  const std::string device = folder.write("ttyUSB9", "");
  std::string groupName = "dialout";
  const struct group* dialout = ::getgrnam("dialout");
  if (dialout == nullptr || ::chown(device.c_str(), static_cast<uid_t>(-1), dialout->gr_gid) != 0) {
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0);
    const struct group* own = ::getgrgid(info.st_gid);
    groupName = own ? own->gr_name : std::to_string(info.st_gid);
  }
  EXPECT_EQ(permissionHint(device, EACCES),
            "No permission to open " + device + ": join the group '" + groupName +
                "' that owns it (sudo usermod -a -G " + groupName + " $USER), then log in again.");
  EXPECT_EQ(permissionHint(device, EPERM).empty(), false);
  for (int other : {0, ENOENT, EBUSY, ENXIO, EIO})
    EXPECT_EQ(permissionHint(device, other), "") << other;
  EXPECT_EQ(permissionHint(folder / "missing", EACCES), "");
}
#endif

}  // namespace
}  // namespace corvane
