// Where the Receiver program that Corvane installs on the handheld comes from.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Names a Receiver image file that takes the place of every other source; meant for tests
// and for trying Corvane against the simulator.
inline constexpr const char* kReceiverFileVariable = "CORVANE_RECEIVER_FILE";

// The folder of the running executable, without a trailing separator; empty when unknown.
std::string executableFolder();

// The image embedded at build time, or none when the build embedded none.
std::optional<std::string> embeddedReceiverImage();

// The folders where receiver.hex is looked for, in order: beside the executable, then (not on
// Windows) the user's data folder $XDG_DATA_HOME/pagora (~/.local/share/pagora when unset or
// not absolute) and the system's /usr/share/pagora, so an installed Corvane finds it.
std::vector<std::string> receiverSearchFolders();

// The Receiver image, tried in this order: the file named by CORVANE_RECEIVER_FILE,
// receiver.hex in the first of the folders that has one, the embedded image. A named or
// present file that cannot be read gives no image rather than a silent fall-back.
std::optional<std::string> loadReceiverImage(const std::vector<std::string>& folders);
std::optional<std::string> loadReceiverImage();

// Reads a whole file; none when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace corvane
