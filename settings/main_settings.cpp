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

const std::vector<std::string>& BaudRates() {
  static const std::vector<std::string> rates{"9600", "19200", "38400", "57600", "115200"};
  return rates;
}

const std::vector<std::string>& ComPorts() {
  static const std::vector<std::string> ports{"COM1", "COM2", "COM3", "COM4"};
  return ports;
}

TMainSettings ReadMainSettings(const TIniFile& ini) {
  TMainSettings s;
  s.PVM = ini.ReadString(kMain, "PVM", "");
  s.LastBook = ini.ReadString(kMain, "LastBook", "book");
  s.ComPort = ini.ReadInteger(kMain, "ComPort", 0);
  s.BaudRate = ini.ReadInteger(kMain, "Baudrate", 0);
  s.Auto = ini.ReadBool(kMain, "Auto", false);
  s.PortName = ini.ReadString(kMain, "PortName", "");
  s.FastTransfer = ini.ReadBool(kMain, "FastTransfer", false);
  s.Language = ini.ReadString(kMain, "Language", "");
  s.ConvertTexts = ini.ReadBool(kMain, "ConvertTexts", true);
  s.TidyTexts = ini.ReadBool(kMain, "TidyTexts", false);
  return s;
}

void WriteMainSettings(TIniFile& ini, const TMainSettings& s) {
  ini.WriteString(kMain, "PVM", s.PVM);
  ini.WriteString(kMain, "LastBook", s.LastBook);
  ini.WriteInteger(kMain, "ComPort", s.ComPort);
  ini.WriteInteger(kMain, "BaudRate", s.BaudRate);
  ini.WriteBool(kMain, "Auto", s.Auto);
  if (!s.PortName.empty()) {
    ini.WriteString(kMain, "PortName", s.PortName);
  } else if (ini.ValueExists(kMain, "PortName")) {
    ini.DeleteKey(kMain, "PortName");
  }
  if (s.FastTransfer) {
    ini.WriteBool(kMain, "FastTransfer", true);
  } else if (ini.ValueExists(kMain, "FastTransfer")) {
    ini.DeleteKey(kMain, "FastTransfer");
  }
  if (!s.Language.empty()) {
    ini.WriteString(kMain, "Language", s.Language);
  } else if (ini.ValueExists(kMain, "Language")) {
    ini.DeleteKey(kMain, "Language");
  }
  if (!s.ConvertTexts) {
    ini.WriteBool(kMain, "ConvertTexts", false);
  } else if (ini.ValueExists(kMain, "ConvertTexts")) {
    ini.DeleteKey(kMain, "ConvertTexts");
  }
  if (s.TidyTexts) {
    ini.WriteBool(kMain, "TidyTexts", true);
  } else if (ini.ValueExists(kMain, "TidyTexts")) {
    ini.DeleteKey(kMain, "TidyTexts");
  }
}

std::filesystem::path UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
    return std::filesystem::path(xdg) / "pagora";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config" / "pagora";
}

std::filesystem::path MainSettingsPath(const std::filesystem::path& programFolder) {
  auto local = programFolder / "config.ini";
  std::error_code ec;
  bool exists = std::filesystem::exists(local, ec);
  // The file is replaced through a temporary file beside it, so its folder must be writable.
  if (writable(programFolder) && (!exists || writable(local))) return local;
  return UserConfigFolder() / "config.ini";
}

std::filesystem::path MainSettingsReadPath(const std::filesystem::path& programFolder) {
  auto path = MainSettingsPath(programFolder);
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return path;
  return programFolder / "config.ini";
}

}  // namespace pagora
