// Folder and file parts of a path. "/" separates folders; on Windows a backslash does too.
#pragma once

#include <cstddef>
#include <string>

namespace pagora {

// The position of the last folder separator, or npos.
std::size_t lastFolderSeparator(const std::string& path);

// Empty stays empty; a path ending in the folder separator is kept; else one is appended.
std::string AddSlash(const std::string& path);

// The file name after the last folder separator.
std::string baseName(const std::string& path);

// The folder part up to and including the last folder separator; "" when there is none.
std::string folderOf(const std::string& path);

}  // namespace pagora
