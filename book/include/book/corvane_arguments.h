// Corvane's command line for sending a book, built the same way by the window and the CLI.
#pragma once

#include <string>
#include <vector>

namespace pagora {

// The arguments that send `archive` with Corvane: "--baudrate=RATE", "--port=PORT", "--fast"
// when asked, then the archive as one argument, blanks and all. The caller starts the program.
std::vector<std::string> corvaneArguments(const std::string& baudRate, const std::string& port,
                                          bool fast, const std::string& archive);

}  // namespace pagora
