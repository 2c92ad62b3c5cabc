// Parsing of Corvane's command line, rule by rule in the order they are tried.
#include "uploader/upload_options.h"

#include <array>
#include <cctype>
#include <climits>

namespace corvane {

namespace {

constexpr std::array<std::int32_t, 10> kRates = {300,  600,   1200,  2400,  4800,
                                                 9600, 19200, 38400, 57600, 115200};

// Reads a decimal integer the way scanf("%d") does: blanks first, an optional sign, then at
// least one digit; whatever follows is ignored. Out-of-range values saturate, which is never
// one of the supported rates anyway.
bool scanDecimal(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  long long magnitude = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (negative) magnitude = -magnitude;
  if (magnitude > INT_MAX) magnitude = INT_MAX;
  if (magnitude < INT_MIN) magnitude = INT_MIN;
  value = static_cast<std::int32_t>(magnitude);
  return true;
}

}  // namespace

bool isSupportedBaudRate(std::int32_t rate) {
  for (std::int32_t known : kRates) {
    if (known == rate) return true;
  }
  return false;
}

UploadOptions parseUploadOptions(const std::vector<std::string>& arguments, bool slashFlags) {
  UploadOptions options;
  for (const std::string& argument : arguments) {
    const bool isFlag =
        !argument.empty() && (argument[0] == '-' || (slashFlags && argument[0] == '/'));
    if (!isFlag) {
      options.files.push_back(argument);
      continue;
    }
    const std::string flag = argument.substr(1);
    const std::size_t equals = flag.find('=');
    if (flag.starts_with("-baudrate")) {
      if (equals != std::string::npos) {
        std::int32_t rate = 0;
        options.baudRate = scanDecimal(flag.substr(equals + 1), rate) ? rate : 38400;
      }
      if (!isSupportedBaudRate(options.baudRate)) options.baudRate = 38400;
    } else if (flag.starts_with("-port")) {
      if (equals != std::string::npos) options.portName = flag.substr(equals + 1);
    } else if (flag == "-delete") {
      options.deleteFlag = true;
    } else if (flag == "-fast") {
      options.fast = true;
    } else {
      options.files.push_back(flag);
    }
  }
  return options;
}

}  // namespace corvane
