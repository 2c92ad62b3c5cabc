// Folder and file parts of a path. "/" separates folders; on Windows a backslash does too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagora {

// The position of the last folder separator, or npos.
std::size_t lastFolderSeparator(std::string_view path);

// Empty stays empty; a path ending in the folder separator is kept; else one is appended.
std::string AddSlash(const std::string& path);

// The file name after the last folder separator.
std::string baseName(std::string_view path);

// The folder part up to and including the last folder separator; "" when there is none.
std::string folderOf(std::string_view path);

}  // namespace pagora
