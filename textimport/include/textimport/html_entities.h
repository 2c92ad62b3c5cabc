// HTML's character references ("&ndash;", "&#1105;", "&#x451;") decoded to UTF-8, the way a
// browser reads them in text and in attribute values.
#pragma once

#include <string>
#include <string_view>

namespace pagora::book_import {

// Appends `text` to `out` with every character reference replaced by its UTF-8 text: named ones
// from HTML's full list (the legacy ones also without ";"), decimal and hexadecimal numbers
// (zero, surrogates and numbers beyond U+10FFFF become U+FFFD; 0x80-0x9F are read as
// Windows-1252). In an attribute value a bare legacy name followed by "=" or a letter or digit
// stays as written. A "&" that starts no reference stays as it is.
void appendHtmlText(std::string& out, std::string_view text, bool attribute = false);

inline std::string decodeHtmlText(std::string_view text, bool attribute = false) {
  std::string out;
  appendHtmlText(out, text, attribute);
  return out;
}

// The UTF-8 text of the named reference "&name;" (name given without "&" and ";"); empty when
// HTML has no such name.
std::string_view namedCharacter(std::string_view name);

// Appends the UTF-8 form of a code point (U+FFFD for one that has none).
void appendUtf8(std::string& out, char32_t cp);

}  // namespace pagora::book_import
