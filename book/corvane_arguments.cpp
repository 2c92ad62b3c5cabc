// Corvane's command line for sending a book.
#include "book/corvane_arguments.h"

namespace pagora {

std::vector<std::string> corvaneArguments(const std::string& baudRate, const std::string& port,
                                          bool fast, const std::string& archive) {
  std::vector<std::string> arguments{"--baudrate=" + baudRate, "--port=" + port};
  // Options go before the archive: Corvane takes the first other argument as the file.
  if (fast) arguments.push_back("--fast");
  arguments.push_back(archive);
  return arguments;
}

}  // namespace pagora
