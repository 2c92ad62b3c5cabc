// Folder and file parts of a path, with "/" as the folder separator.
#pragma once

#include <string>

namespace pagora {

// Empty stays empty; a path ending in the folder separator is kept; else one is appended.
std::string AddSlash(const std::string& path);

// The file name after the last folder separator.
std::string BaseName(const std::string& path);

// The folder part up to and including the last folder separator; "" when there is none.
std::string FolderOf(const std::string& path);

}  // namespace pagora
