// Name rules of a book build: the book name and the stored names of the chosen files.
#include "book/book_names.h"

#include <map>
#include <set>

#include "common/file_paths.h"
#include "text/recode.h"

namespace pagora {

namespace {

// Upper case of a code page 1251 byte for the letters a case-insensitive file system folds:
// ASCII and the Russian alphabet.
char foldByte(char c) {
  auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0) return static_cast<char>(b - 0x20);
  if (b == 0xB8) return static_cast<char>(0xA8);
  return c;
}

std::string fold(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = foldByte(c);
  return out;
}

}  // namespace

std::string foldLetterCase(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto b = static_cast<unsigned char>(out[i]);
    if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + 0x20);
      continue;
    }
    if (i + 1 >= out.size()) break;
    auto next = static_cast<unsigned char>(out[i + 1]);
    if (b == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
      out[i + 1] = static_cast<char>(next + 0x20);  // U+00C0-U+00DE -> U+00E0-U+00FE
    } else if (b == 0xD0 && next >= 0x80 && next <= 0x8F) {
      out[i] = static_cast<char>(0xD1);  // U+0400-U+040F (Ё, Ў, Є ...) -> U+0450-U+045F
      out[i + 1] = static_cast<char>(next + 0x10);
    } else if (b == 0xD0 && next >= 0x90 && next <= 0x9F) {
      out[i + 1] = static_cast<char>(next + 0x20);  // А-П -> а-п
    } else if (b == 0xD0 && next >= 0xA0 && next <= 0xAF) {
      out[i] = static_cast<char>(0xD1);  // Р-Я -> р-я
      out[i + 1] = static_cast<char>(next - 0x20);
    } else if (b == 0xD2 && next == 0x90) {
      out[i + 1] = static_cast<char>(0x91);  // Ґ -> ґ
    }
    if (b >= 0xC2 && b <= 0xDF && next >= 0x80 && next <= 0xBF) ++i;  // past the whole letter
  }
  return out;
}

bool addChosenFile(std::vector<std::string>& chosen, const std::string& path) {
  const std::string key = foldLetterCase(path);
  for (const auto& entry : chosen) {
    if (foldLetterCase(entry) == key) return false;
  }
  chosen.push_back(path);
  return true;
}

std::string normaliseBookName(std::string text) {
  if (!text.empty() && text.front() == '"') text.erase(0, 1);
  if (!text.empty() && text.back() == '"') text.pop_back();
  std::string extension;
  auto dot = text.rfind('.');
  auto slash = lastFolderSeparator(text);
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    extension = text.substr(dot);
  }
  std::string upper = extension;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  }
  if (upper != ".LZH") text += ".lzh";
  return text;
}

std::string adtNameFor(const std::string& archiveName) {
  return archiveName + ".adt";
}

namespace {

// Stored names are compared as the archive compares member names: ASCII letters without
// regard to case, every other byte as it is.
std::string foldStored(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  }
  return out;
}

// `name` with "~2", "~3", ... before its extension, the first that is not in `taken`.
std::string numberedName(const std::string& name, const std::set<std::string>& taken) {
  const auto dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string extension = stem.size() == name.size() ? std::string() : name.substr(dot);
  for (int n = 2;; ++n) {
    std::string candidate = stem + "~" + std::to_string(n) + extension;
    if (taken.count(foldStored(candidate)) == 0) return candidate;
  }
}

}  // namespace

std::vector<std::string> deviceStoredNames(const std::vector<std::string>& files) {
  // Replays the renames one by one: a file takes its converted name only when no chosen file
  // occupies that name in its folder at that moment, and no earlier file has been stored under
  // it (the archive keeps no folders, so files of different folders meet there).
  struct Entry {
    std::string folder;      // code page 1251, as the file system sees it
    std::string ownName;     // code page 1251
    std::string deviceName;  // device character set
  };
  std::vector<Entry> entries;
  entries.reserve(files.size());
  std::map<std::string, int> occupied;  // folded folder + name -> number of files holding it
  for (const auto& file : files) {
    Entry e{utf8ToWin(folderOf(file)), utf8ToWin(baseName(file)), {}};
    e.deviceName = WinToDevice(e.ownName);
    ++occupied[fold(e.folder + e.ownName)];
    entries.push_back(std::move(e));
  }
  std::vector<std::string> stored;
  stored.reserve(entries.size());
  std::set<std::string> inArchive;  // foldStored of every name stored so far
  for (const auto& e : entries) {
    std::string from = fold(e.folder + e.ownName);
    std::string to = fold(e.folder + e.deviceName);
    std::string name;
    if (inArchive.count(foldStored(e.deviceName)) != 0) {
      name = e.ownName;  // a clash in the archive fails like a clash on disk
    } else if (from == to) {
      name = e.deviceName;
    } else if (auto taken = occupied.find(to); taken != occupied.end() && taken->second > 0) {
      name = e.ownName;
    } else {
      if (--occupied[from] == 0) occupied.erase(from);
      ++occupied[to];
      name = e.deviceName;
    }
    // Names that code page 1251 cannot tell apart ("日本.txt" and "中文.txt" are both "??.txt"),
    // or equal names from different folders, leave the own name taken as well: a number keeps
    // the second member from hiding the first.
    if (inArchive.count(foldStored(name)) != 0) name = numberedName(name, inArchive);
    inArchive.insert(foldStored(name));
    stored.push_back(std::move(name));
  }
  return stored;
}

}  // namespace pagora
