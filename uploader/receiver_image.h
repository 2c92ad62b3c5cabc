// Where the Receiver program that Corvane installs on the handheld comes from.
#pragma once

#include <optional>
#include <string>

namespace corvane {

// Names a Receiver image file that takes the place of every other source; meant for tests
// and for trying Corvane against the simulator.
inline constexpr const char* kReceiverFileVariable = "CORVANE_RECEIVER_FILE";

// The folder of the running executable, without a trailing separator; empty when unknown.
std::string executableFolder();

// The image embedded at build time, or none when the build embedded none.
std::optional<std::string> embeddedReceiverImage();

// The Receiver image, tried in this order: the file named by CORVANE_RECEIVER_FILE,
// receiver.hex beside the executable, the embedded image. A named or present file that
// cannot be read gives no image rather than a silent fall-back.
std::optional<std::string> loadReceiverImage();

// Reads a whole file; none when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace corvane
