// The text buffer: a whole text as a list of 8-bit code page 1251 lines without terminators,
// loaded from CR LF, lone CR or lone LF line ends and saved with CR LF after every line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/file_access.h"

namespace pagora {

using TextBuffer = std::vector<std::string>;

// A text file could not be read or written; the message names the file and the reason,
// for example "Cannot open file /x/a.txt: No such file or directory". The file layer's failure.
using ETextFileError = EFileAccess;

// Splits bytes into lines at CR LF, a lone CR and a lone LF. A break at the very end adds no
// empty line after it; empty input gives no lines. Other bytes (a zero byte too) are kept.
TextBuffer splitLines(std::string_view bytes);
// Every line followed by CR LF.
std::string joinLines(const TextBuffer& lines);

// Reads a whole file into bytes (the file layer's readWholeFile) / into lines. Raise
// ETextFileError.
std::string readFileBytes(const std::string& path);
TextBuffer loadTextFile(const std::string& path);

// Whole files are written with the file layer's writeFileReplacing (included above): a temporary
// file in the target's folder renamed over the target, so a failed write never leaves a
// half-written file where a good one stood. An existing target keeps its permission bits.
// Raises ETextFileError; the target is then untouched.
// saveTextFile writes joinLines(lines) the same way.
void saveTextFile(const std::string& path, const TextBuffer& lines);

}  // namespace pagora
