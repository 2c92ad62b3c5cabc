// Reading and writing section "Main" of config.ini, and choosing the file that holds it.
#include "settings/main_settings.h"

#include <unistd.h>

#include <cstdlib>

#include "settings/inifile.h"

namespace pagora {

namespace {
const char* const kMain = "Main";

bool writable(const std::filesystem::path& path) {
  return ::access(path.c_str(), W_OK) == 0;
}
}  // namespace

const std::vector<std::string>& baudRates() {
  static const std::vector<std::string> rates{"9600", "19200", "38400", "57600", "115200"};
  return rates;
}

const std::vector<std::string>& comPorts() {
  static const std::vector<std::string> ports{"COM1", "COM2", "COM3", "COM4"};
  return ports;
}

TMainSettings readMainSettings(const TIniFile& ini) {
  TMainSettings s;
  s.PVM = ini.readString(kMain, "PVM", "");
  s.LastBook = ini.readString(kMain, "LastBook", "book");
  s.ComPort = ini.readInteger(kMain, "ComPort", 0);
  s.BaudRate = ini.readInteger(kMain, "Baudrate", 0);
  s.Auto = ini.readBool(kMain, "Auto", false);
  s.PortName = ini.readString(kMain, "PortName", "");
  s.FastTransfer = ini.readBool(kMain, "FastTransfer", false);
  s.Language = ini.readString(kMain, "Language", "");
  s.ConvertTexts = ini.readBool(kMain, "ConvertTexts", true);
  s.TidyTexts = ini.readBool(kMain, "TidyTexts", false);
  return s;
}

void writeMainSettings(TIniFile& ini, const TMainSettings& s) {
  ini.writeString(kMain, "PVM", s.PVM);
  ini.writeString(kMain, "LastBook", s.LastBook);
  ini.writeInteger(kMain, "ComPort", s.ComPort);
  ini.writeInteger(kMain, "BaudRate", s.BaudRate);
  ini.writeBool(kMain, "Auto", s.Auto);
  if (!s.PortName.empty()) {
    ini.writeString(kMain, "PortName", s.PortName);
  } else if (ini.valueExists(kMain, "PortName")) {
    ini.deleteKey(kMain, "PortName");
  }
  if (s.FastTransfer) {
    ini.writeBool(kMain, "FastTransfer", true);
  } else if (ini.valueExists(kMain, "FastTransfer")) {
    ini.deleteKey(kMain, "FastTransfer");
  }
  if (!s.Language.empty()) {
    ini.writeString(kMain, "Language", s.Language);
  } else if (ini.valueExists(kMain, "Language")) {
    ini.deleteKey(kMain, "Language");
  }
  if (!s.ConvertTexts) {
    ini.writeBool(kMain, "ConvertTexts", false);
  } else if (ini.valueExists(kMain, "ConvertTexts")) {
    ini.deleteKey(kMain, "ConvertTexts");
  }
  if (s.TidyTexts) {
    ini.writeBool(kMain, "TidyTexts", true);
  } else if (ini.valueExists(kMain, "TidyTexts")) {
    ini.deleteKey(kMain, "TidyTexts");
  }
}

std::filesystem::path userConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
    return std::filesystem::path(xdg) / "pagora";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config" / "pagora";
}

std::filesystem::path mainSettingsPath(const std::filesystem::path& programFolder) {
  auto local = programFolder / "config.ini";
  std::error_code ec;
  bool exists = std::filesystem::exists(local, ec);
  // The file is replaced through a temporary file beside it, so its folder must be writable.
  if (writable(programFolder) && (!exists || writable(local))) return local;
  return userConfigFolder() / "config.ini";
}

std::filesystem::path mainSettingsReadPath(const std::filesystem::path& programFolder) {
  auto path = mainSettingsPath(programFolder);
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return path;
  return programFolder / "config.ini";
}

}  // namespace pagora
