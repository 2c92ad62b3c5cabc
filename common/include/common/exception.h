// The one base of every failure class of the system: a message and nothing else.
#pragma once

#include <stdexcept>
#include <string>

namespace pagora {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace pagora
