// The entry of the Windows command-line programs (linked with -municode): the command line
// arrives as UTF-16 and is handed on as UTF-8, so Cyrillic file names reach the program intact
// whatever the system's code page is. Backslashes become slashes: both separate folders on
// Windows, and the libraries know folders by "/" only.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

int pagora_utf8_main(int argc, char** argv);

namespace {

std::string toUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string result(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Output in UTF-8 as well: the programs print names the way they received them.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    std::string argument = toUtf8(argv[i]);
    if (i > 0) {
      for (char& c : argument) {
        if (c == '\\') c = '/';
      }
    }
    arguments.push_back(std::move(argument));
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return pagora_utf8_main(argc, pointers.data());
}
