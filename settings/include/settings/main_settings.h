// Pagora's program settings: section "Main" of config.ini (PV Manager path, last book, port,
// baud rate, the auto flag) and where that file lives.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pagora {

class TIniFile;

struct TMainSettings {
  std::string PVM;                // PV Manager's program file; empty when none is chosen
  std::string LastBook = "book";  // the book name edit's text
  int ComPort = 0;                // 0 = COM1 ... 3 = COM4
  int BaudRate = 0;               // index into baudRates()
  bool Auto = false;              // kept for the file's sake; it has no other effect
  std::string PortName;           // a serial device chosen beyond COM1-COM4; empty: use ComPort
  bool FastTransfer = false;      // start Corvane with --fast
  std::string Language = {};      // the windows' language: "en", "ru"; empty: the desktop's
  bool ConvertTexts = true;       // convert texts to code page 1251 while a book is built
  bool TidyTexts = false;         // tidy texts into one line per paragraph while a book is built
};

// The baud rates of the settings dialog, in list order.
const std::vector<std::string>& baudRates();
// The port names of the settings dialog's fixed part, in list order.
const std::vector<std::string>& comPorts();

// Reads "PVM", "LastBook", "ComPort", "Baudrate", "Auto" (and "PortName", "FastTransfer",
// "Language", "ConvertTexts", "TidyTexts") from section "Main";
// missing keys and values that are not integers give the defaults.
TMainSettings readMainSettings(const TIniFile& ini);
// Writes "PVM", "LastBook", "ComPort", "BaudRate", "Auto" in this order, then "PortName" (removed
// when empty), "FastTransfer" (written as 1 while on, removed while off, so a file of a
// program that never used it stays as it was), "Language" (removed when empty) and "ConvertTexts"
// (written as 0 while off, removed while on, its default), then "TidyTexts" (written as 1 while on,
// removed while off). Raises EIniWrite ("Unable to write
// to <file>") at the first key the system refuses; the keys after it are not written.
void writeMainSettings(TIniFile& ini, const TMainSettings& settings);

// The file that holds section "Main": config.ini in the program's folder, unless that file
// cannot be written there (an installed program); then config.ini in the user's configuration
// folder ($XDG_CONFIG_HOME/pagora, else ~/.config/pagora).
std::filesystem::path mainSettingsPath(const std::filesystem::path& programFolder);
// The file to read section "Main" from: the path above when it exists, else the program
// folder's config.ini (shipped defaults of an installed program).
std::filesystem::path mainSettingsReadPath(const std::filesystem::path& programFolder);
// The user's configuration folder for Pagora.
std::filesystem::path userConfigFolder();

}  // namespace pagora
