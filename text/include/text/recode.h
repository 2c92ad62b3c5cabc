// Code-page conversions between DOS 866, KOI8-R, Windows 1251, UTF-8 and the handheld's own
// character set, and a guess of which of them a text is written in. Pure functions, no locale.
#pragma once

#include <string>
#include <string_view>

namespace pagora {

// Byte for byte conversions: the result has exactly the input's length and byte i of it depends
// only on byte i of the input. The InPlace forms rewrite the string they are given.
std::string DosToWin(std::string_view text);     // code page 866 -> 1251
std::string KoiToWin(std::string_view text);     // KOI8-R -> 1251, the 64 letters other than Ё/ё
std::string WinToDevice(std::string_view text);  // 1251 -> device character set (not reversible)
// Device character set -> 1251: the inverse of WinToDevice wherever it has one. Where several
// 1251 bytes map onto one device code the Russian letter wins; a device code that no 1251 byte
// maps to comes back unchanged. Used to show names that an archive stores for the handheld.
std::string DeviceToWin(std::string_view text);

void DosToWinInPlace(std::string& text);
void KoiToWinInPlace(std::string& text);
void WinToDeviceInPlace(std::string& text);
void DeviceToWinInPlace(std::string& text);

// UTF-8 -> 1251. A character that 1251 lacks becomes "?"; a byte that is not part of a valid
// UTF-8 sequence passes through unchanged. A byte order mark at the very start is dropped.
std::string Utf8ToWin(std::string_view text);
void Utf8ToWinInPlace(std::string& text);
// The same into a buffer of at least text.size() bytes that does not overlap the text; returns
// the result's length.
std::size_t Utf8ToWin(std::string_view text, char* out);
// 1251 -> UTF-8. The one unassigned byte (0x98) becomes U+FFFD.
std::string WinToUtf8(std::string_view text);
// True when the bytes form valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

enum class CodePage { Ascii, Utf8, Cp1251, Cp866, Koi8r };

// A guess of a text's encoding and how sure it is, from 0 to 1.
struct CodePageGuess {
  CodePage page;
  double confidence;
};

// Below this a guess is not to be acted on without asking: nothing is recoded in place on it and
// the view window says nothing about it.
inline constexpr double kConfidentGuess = 0.95;
inline bool IsConfident(const CodePageGuess& guess) {
  return guess.confidence >= kConfidentGuess;
}

// Which encoding a text most likely is: Ascii when no byte is 0x80 or above (sure); Utf8 when the
// high bytes form valid UTF-8 of characters a Russian text has; else the 8-bit code page under
// which the text reads most like Russian, judged by pairs of letters with capitals folded into
// small letters, so that all-capitals text reads as well as any. A text that reads about as well
// in two code pages (a word or two) leans to 1251 with a low confidence. Looks at the first
// `limit` bytes only.
CodePageGuess GuessCodePage(std::string_view text, std::size_t limit = 1 << 20);
CodePage DetectCodePage(std::string_view text, std::size_t limit = 1 << 20);

// "ascii", "utf8", "cp1251", "cp866", "koi8r".
const char* CodePageName(CodePage page);

// Any of the four encodings (Ascii counts as 1251, of which it is a subset) -> 1251.
std::string ToWin(std::string_view text, CodePage from);
// The same into a buffer of at least text.size() bytes that does not overlap the text; returns
// the result's length (the text's own for the 8-bit code pages).
std::size_t ToWin(std::string_view text, CodePage from, char* out);

}  // namespace pagora
