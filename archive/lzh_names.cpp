// Wildcards, member selection, stored names, safe expansion paths and MS-DOS time stamps.
#include "lzh_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "archive/lzh_errors.h"
#include "common/file_access.h"

namespace pagora {

namespace {

// Code points of a name when it is valid UTF-8 (no overlong forms, no surrogates); false for
// anything else, which is then treated byte by byte.
bool decodeUtf8(std::string_view s, std::u32string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t c = b;
    if (b < 0x80) {
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      c = b & 0x07;
    } else {
      return false;
    }
    if (extra > 0 && i + static_cast<std::size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
        (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Latin-1 and Cyrillic pairs, whatever the process locale says. Every pair has the same UTF-8
// length, so a name keeps its length in bytes.
char32_t upperLetter(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) &&
      (c & 1))
    return c - 1;
  if (c >= 0x4C1 && c <= 0x4CE && !(c & 1)) return c - 1;
  if (c == 0x4CF) return 0x4C0;
  return c;
}

char32_t lowerLetter(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF)) &&
      !(c & 1))
    return c + 1;
  if (c >= 0x4C1 && c <= 0x4CE && (c & 1)) return c + 1;
  if (c == 0x4C0) return 0x4CF;
  return c;
}

// Maps the letters of a UTF-8 name; in a name that is not UTF-8 only ASCII letters change.
std::string mapLetters(std::string_view s, char32_t (*map)(char32_t)) {
  std::u32string points;
  std::string out;
  out.reserve(s.size());
  if (!decodeUtf8(s, points)) {
    for (char c : s)
      out += static_cast<unsigned char>(c) < 0x80
                 ? static_cast<char>(map(static_cast<unsigned char>(c)))
                 : c;
    return out;
  }
  for (char32_t c : points) appendUtf8(out, map(c));
  return out;
}

std::string lowered(std::string_view s) {
  return mapLetters(s, lowerLetter);
}

// Letters of a name for matching: code points of UTF-8, else one per byte.
std::u32string lettersOf(std::string_view s) {
  std::u32string out;
  if (decodeUtf8(s, out)) return out;
  out.clear();
  for (char c : s) out.push_back(static_cast<unsigned char>(c));
  return out;
}

bool partMatches(std::u32string_view pattern, std::u32string_view name) {
  if (pattern == U"*" || pattern == U".*") return true;
  if (pattern.empty() && name.empty()) return true;
  std::size_t star = pattern.find(U'*');
  bool starFollows = star != std::u32string_view::npos && star != 0;
  std::u32string_view fixed = starFollows ? pattern.substr(0, star) : pattern;
  if (name.size() < fixed.size()) return false;
  if (!starFollows && name.size() != fixed.size()) return false;
  for (std::size_t i = 0; i < fixed.size(); ++i)
    if (fixed[i] != U'?' && fixed[i] != name[i]) return false;
  return true;
}

void splitExtension(const std::u32string& s, std::u32string& base, std::u32string& ext) {
  std::size_t dot = s.rfind(U'.');
  if (dot == std::u32string::npos) {
    base = s;
    ext.clear();
  } else {
    base = s.substr(0, dot);
    ext = s.substr(dot);
  }
}

// Folder part (through the last separator) in archive form, lower-cased.
std::string folderKey(std::string_view s) {
  std::string out = lowered(s);
  std::replace(out.begin(), out.end(), '/', '\\');
  std::size_t cut = out.find_last_of("\\:");
  return cut == std::string::npos ? std::string() : out.substr(0, cut + 1);
}

std::string_view filePart(std::string_view s) {
  std::size_t cut = s.find_last_of("\\/:");
  return cut == std::string_view::npos ? s : s.substr(cut + 1);
}

void listFolder(const std::string& folder, const std::string& pattern, bool recurse,
                std::vector<std::string>& out) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] != '.') names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = folder + name;
    struct stat st {};
    if (statName(path, st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (recurse) listFolder(path + "/", pattern, recurse, out);
    } else if (S_ISREG(st.st_mode) && lzhWildcardMatch(pattern, name)) {
      out.push_back(path);
    }
  }
}

}  // namespace

bool lzhHasWildcard(std::string_view entry) {
  return entry.find_first_of("*?") != std::string_view::npos;
}

bool lzhWildcardMatch(std::string_view pattern, std::string_view name) {
  // "?" stands for one letter, also where a letter takes several bytes.
  std::u32string pBase, pExt, nBase, nExt;
  splitExtension(lettersOf(lowered(pattern)), pBase, pExt);
  splitExtension(lettersOf(lowered(name)), nBase, nExt);
  // Appended rather than assigned: GCC 12 warns falsely (-Wrestrict) on assigning a literal.
  if (pExt.empty()) pExt += U'*';
  if (nExt.empty()) nExt += U'.';
  return partMatches(pBase, nBase) && partMatches(pExt, nExt);
}

std::vector<std::string> lzhExpandWildcard(const std::string& entry) {
  std::string rest = entry;
  bool recurse = false;
  // On POSIX "/S" also looks like a folder separator: it counts as the switch only when a
  // pattern stands before it.
  if (rest.size() >= 3 && rest[rest.size() - 2] == '/' &&
      (rest.back() == 'S' || rest.back() == 's')) {
    std::string_view before = std::string_view(rest).substr(0, rest.size() - 2);
    if (!filePart(before).empty() && lzhHasWildcard(filePart(before))) {
      recurse = true;
      rest.resize(rest.size() - 2);
    }
  }
  std::size_t cut = lzhLastFolderSeparator(rest);
  std::string folder = cut == std::string::npos ? std::string() : rest.substr(0, cut + 1);
  std::string pattern = cut == std::string::npos ? rest : rest.substr(cut + 1);
  std::vector<std::string> out;
  listFolder(folder, pattern, recurse, out);
  return out;
}

bool lzhSelects(std::string_view entry, std::string_view name) {
  return folderKey(entry) == folderKey(name) && lzhWildcardMatch(filePart(entry), filePart(name));
}

std::size_t lzhLastFolderSeparator(std::string_view path) {
#ifdef _WIN32
  return path.find_last_of("\\/:");
#else
  return path.rfind('/');
#endif
}

std::string lzhStoredNameTail(std::string name, bool upperCase) {
  if (name.size() > 2 && name[1] == ':') name.erase(0, 2);
  if (upperCase) name = lzhUpperCase(name);
  return name;
}

std::string lzhStoredName(const std::string& path, bool storePath, const std::string& targetPath,
                          bool upperCase) {
  std::string name = path;
  std::string target = targetPath;
#ifdef _WIN32
  // Both separators mean the same on Windows: C:\books\ is the folder of C:/books/a.txt.
  std::replace(name.begin(), name.end(), '\\', '/');
  std::replace(target.begin(), target.end(), '\\', '/');
#endif
  if (storePath) {
    if (!target.empty() && name.size() >= target.size() &&
        lowered(std::string_view(name).substr(0, target.size())) == lowered(target))
      name.erase(0, target.size());
  } else {
    std::size_t cut = lzhLastFolderSeparator(name);
    if (cut != std::string::npos) name.erase(0, cut + 1);
  }
  std::replace(name.begin(), name.end(), '/', '\\');
  return lzhStoredNameTail(std::move(name), upperCase);
}

std::string lzhUpperCase(std::string_view name) {
  return mapLetters(name, upperLetter);
}
std::string lzhLowerCase(std::string_view name) {
  return mapLetters(name, lowerLetter);
}

bool lzhSameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && lowered(a) == lowered(b);
}

std::string lzhUnsafeRelativePath(std::string_view memberName) {
  std::string_view rest = memberName;
  if (rest.size() >= 2 && rest[1] == ':') rest.remove_prefix(2);
  std::string out;
  std::size_t i = 0;
  while (i <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", i);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(i, end - i);
    if (!part.empty() && part != ".") {
      if (!out.empty()) out += '/';
      out += part;
    }
    i = end + 1;
  }
  return out;
}

bool lzhLeavesFolder(std::string_view relativePath) {
  if (relativePath.empty() || relativePath.find('\0') != std::string_view::npos) return true;
  std::size_t i = 0;
  while (i <= relativePath.size()) {
    std::size_t end = relativePath.find('/', i);
    if (end == std::string_view::npos) end = relativePath.size();
    if (relativePath.substr(i, end - i) == "..") return true;
    i = end + 1;
  }
  return false;
}

std::string lzhSafeRelativePath(std::string_view memberName) {
  std::string out = lzhUnsafeRelativePath(memberName);
  if (lzhLeavesFolder(out) || memberName.find('\0') != std::string_view::npos)
    throw ELzhUnsafePath("Unsafe member name in archive: " + std::string(memberName));
  return out;
}

std::uint32_t lzhDosDateTime(std::time_t when) {
  std::tm t{};
  if (!::localtime_r(&when, &t) || t.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01
  if (t.tm_year > 207) t.tm_year = 207;
  std::uint32_t date =
      static_cast<std::uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  std::uint32_t time =
      static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return (date << 16) | time;
}

std::time_t lzhUnixTime(std::uint32_t dosDateTime) {
  std::tm t{};
  std::uint32_t date = dosDateTime >> 16;
  std::uint32_t time = dosDateTime & 0xFFFF;
  t.tm_year = static_cast<int>((date >> 9) + 80);
  t.tm_mon = static_cast<int>(((date >> 5) & 15)) - 1;
  t.tm_mday = static_cast<int>(date & 31);
  t.tm_hour = static_cast<int>(time >> 11);
  t.tm_min = static_cast<int>((time >> 5) & 63);
  t.tm_sec = static_cast<int>((time & 31) * 2);
  t.tm_isdst = -1;
  return std::mktime(&t);
}

}  // namespace pagora
