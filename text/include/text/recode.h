// Code-page conversions between DOS 866, KOI8-R, Windows 1251, UTF-8 and the handheld's own
// character set, and a guess of which of them a text is written in. Pure functions, no locale.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pagora {

// Byte for byte conversions: the result has exactly the input's length and byte i of it depends
// only on byte i of the input. The InPlace forms rewrite the string they are given.
std::string DosToWin(std::string_view text);     // code page 866 -> 1251
std::string KoiToWin(std::string_view text);     // KOI8-R -> 1251: the 66 letters
std::string WinToDevice(std::string_view text);  // 1251 -> device character set (not reversible)
// Device character set -> 1251: the inverse of WinToDevice wherever it has one. Where several
// 1251 bytes map onto one device code the Russian letter wins; a device code that no 1251 byte
// maps to comes back unchanged. Used to show names that an archive stores for the handheld.
std::string deviceToWin(std::string_view text);

void dosToWinInPlace(std::string& text);
void koiToWinInPlace(std::string& text);
void winToDeviceInPlace(std::string& text);
void deviceToWinInPlace(std::string& text);

// UTF-8 -> 1251, the one conversion every part of the product uses. Where 1251 lacks a
// character it falls back before it writes "?": a letter written with combining marks is composed
// first ("и" + U+0306 is "й"); other combining marks and invisible format characters are dropped;
// a Latin accented vowel inside a Cyrillic word becomes its Cyrillic look-alike ("бóльшую" ->
// "большую"); other letters lose their diacritic ("été" -> "ete"); a few characters are spelled
// out ("œ" -> "oe", "½" -> "1/2", U+2011 and U+2212 -> "-"); pre-reform letters become modern
// ("ѣ" -> "е"). Only what is left becomes "?", and `missing` (when given) gets how many did.
// A byte that is not part of a valid UTF-8 sequence passes through unchanged, so a name already
// in 1251 survives. A byte order mark at the very start is dropped.
std::string utf8ToWin(std::string_view text, std::size_t* missing = nullptr);
// The same in place; returns how many characters became "?".
std::size_t utf8ToWinInPlace(std::string& text);
// 1251 -> UTF-8. The one unassigned byte (0x98) becomes U+FFFD.
std::string winToUtf8(std::string_view text);
// True when the bytes form valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

enum class CodePage { Ascii, Utf8, Cp1251, Cp866, Koi8r };

// A guess of a text's encoding and how sure it is, from 0 to 1.
struct CodePageGuess {
  CodePage page;
  double confidence;
};

// Below this a guess is not to be acted on without asking: nothing is recoded in place on it and
// the view window says nothing about it.
inline constexpr double kConfidentGuess = 0.95;
inline bool isConfident(const CodePageGuess& guess) {
  return guess.confidence >= kConfidentGuess;
}

// Which encoding a text most likely is: Ascii when no byte is 0x80 or above (sure); Utf8 when the
// high bytes form valid UTF-8 of characters a Russian text has; else the 8-bit code page under
// which the text reads most like Russian, judged by pairs of letters with capitals folded into
// small letters, so that all-capitals text reads as well as any. A text that reads about as well
// in two code pages (a word or two) leans to 1251 with a low confidence. Looks at the first
// `limit` bytes only.
CodePageGuess guessCodePage(std::string_view text, std::size_t limit = 1 << 20);
CodePage detectCodePage(std::string_view text, std::size_t limit = 1 << 20);

// "1 character has no equivalent in code page 1251", "3 characters have ...": what the
// terminal commands report after a conversion to 1251 that left `missing` question marks.
std::string missingCharactersNote(std::size_t missing);

// A name in an 8-bit code page (one byte a letter) cut to at most `limit` bytes, keeping its
// extension: the stem is shortened and loses the spaces it ends with ("A very long file
// name.lzh" -> "A very long.lzh" at 15). A name without an extension, or with one longer than
// half the room, is cut at the end.
std::string shortenName(std::string_view name, std::size_t limit);

// "ascii", "utf8", "cp1251", "cp866", "koi8r": names that codePageFromName takes back.
const char* codePageName(CodePage page);
// How people write the code page in a message: "UTF-8", "KOI8-R", "866", "1251", "ASCII".
const char* codePageLabel(CodePage page);
// The code page a name stands for, as iconv spells it in any letter case ("utf-8", "UTF8",
// "koi8-r", "koi8", "cp866", "ibm866", "dos", "windows-1251", "us-ascii", ...); nothing for a name
// it does not know.
std::optional<CodePage> codePageFromName(std::string_view name);
// False for bytes that are no text to read: a NUL byte, the signature of an archive or a
// picture, or control bytes a text does not hold. Looks at the first 64 KiB only.
bool looksLikeText(std::string_view bytes);

// Any of the four encodings (Ascii counts as 1251, of which it is a subset) -> 1251; `missing`
// (when given) gets how many characters became "?" (only UTF-8 has any).
std::string toWin(std::string_view text, CodePage from, std::size_t* missing = nullptr);

}  // namespace pagora
