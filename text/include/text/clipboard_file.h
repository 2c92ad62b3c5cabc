// "Create file from clipboard" without the GUI: where the file goes and how the text is written.
#pragma once

#include <string>
#include <string_view>

namespace pagora {

// The path for an answer typed into the name box: an answer without a folder part goes into
// `folder`; one with a folder part is used as it is. No extension is added.
std::string clipboardFilePath(std::string_view folder, std::string_view answer);

// Splits `text` into lines at CR LF, CR and LF and writes them to `path`, each followed by CR LF,
// replacing an existing file safely (temporary file, then rename). An empty text writes an empty
// file. The bytes are written as given: a caller with Unicode text converts it to code page 1251
// first (utf8ToWin). Raises ETextFileError.
void writeClipboardFile(const std::string& path, std::string_view text);

}  // namespace pagora
