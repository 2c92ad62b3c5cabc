// What every Win32 call of the Windows build needs from a UTF-8 world: names widened to UTF-16
// for the W functions, and Win32 error codes told as the errno values the libraries reason in.
#pragma once

#include <string>
#include <string_view>

namespace pagora::windows {

// UTF-8 to UTF-16; empty for empty or malformed text.
std::wstring widen(std::string_view text);
// The errno value a Win32 error code (GetLastError) stands for; EIO for the ones without one.
int errnoFromWin32(unsigned long error);

}  // namespace pagora::windows
