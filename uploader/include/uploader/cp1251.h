// Code page 1251 for names and texts that cross the serial line: the handheld's side speaks
// 8-bit code page 1251, this program's side UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool isValidUtf8(std::string_view text);
// Characters that code page 1251 lacks, and bytes that are not UTF-8, become '?'.
std::string utf8ToCp1251(std::string_view utf8);
// Every byte has a meaning except 0x98, which becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view cp1251);

}  // namespace corvane
