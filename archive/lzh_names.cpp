// Wildcards, member selection, stored names, safe expansion paths and MS-DOS time stamps.
#include "archive/lzh_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "archive/lzh_errors.h"

namespace pagora {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower(c);
  return out;
}

bool partMatches(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == ".*") return true;
  if (pattern.empty() && name.empty()) return true;
  std::size_t star = pattern.find('*');
  bool starFollows = star != std::string_view::npos && star != 0;
  std::string_view fixed = starFollows ? pattern.substr(0, star) : pattern;
  if (name.size() < fixed.size()) return false;
  if (!starFollows && name.size() != fixed.size()) return false;
  for (std::size_t i = 0; i < fixed.size(); ++i)
    if (fixed[i] != '?' && fixed[i] != name[i]) return false;
  return true;
}

void splitExtension(const std::string& s, std::string& base, std::string& ext) {
  std::size_t dot = s.rfind('.');
  if (dot == std::string::npos) {
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
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) continue;
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
  std::string pBase, pExt, nBase, nExt;
  splitExtension(lowered(pattern), pBase, pExt);
  splitExtension(lowered(name), nBase, nExt);
  // Appended rather than assigned: GCC 12 warns falsely (-Wrestrict) on assigning "*".
  if (pExt.empty()) pExt += '*';
  if (nExt.empty()) nExt += '.';
  return partMatches(pBase, nBase) && partMatches(pExt, nExt);
}

std::vector<std::string> lzhExpandWildcard(const std::string& entry) {
  std::string rest = entry;
  bool recurse = false;
  // On POSIX "/S" also looks like a folder separator: it counts as the switch only when a
  // pattern stands before it.
  if (rest.size() >= 3 && rest[rest.size() - 2] == '/' && (rest.back() == 'S' || rest.back() == 's')) {
    std::string_view before = std::string_view(rest).substr(0, rest.size() - 2);
    if (!filePart(before).empty() && lzhHasWildcard(filePart(before))) {
      recurse = true;
      rest.resize(rest.size() - 2);
    }
  }
  std::size_t cut = rest.rfind('/');
  std::string folder = cut == std::string::npos ? std::string() : rest.substr(0, cut + 1);
  std::string pattern = cut == std::string::npos ? rest : rest.substr(cut + 1);
  std::vector<std::string> out;
  listFolder(folder, pattern, recurse, out);
  return out;
}

bool lzhSelects(std::string_view entry, std::string_view name) {
  return folderKey(entry) == folderKey(name) && lzhWildcardMatch(filePart(entry), filePart(name));
}

std::string lzhStoredNameTail(std::string name, bool upperCase) {
  if (name.size() > 2 && name[1] == ':') name.erase(0, 2);
  if (upperCase)
    for (char& c : name) c = upper(c);
  return name;
}

std::string lzhStoredName(const std::string& path, bool storePath, const std::string& targetPath,
                          bool upperCase) {
  std::string name = path;
  if (storePath) {
    if (!targetPath.empty() && name.size() >= targetPath.size() &&
        lowered(std::string_view(name).substr(0, targetPath.size())) == lowered(targetPath))
      name.erase(0, targetPath.size());
  } else {
    std::size_t cut = name.rfind('/');
    if (cut != std::string::npos) name.erase(0, cut + 1);
  }
  std::replace(name.begin(), name.end(), '/', '\\');
  return lzhStoredNameTail(std::move(name), upperCase);
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
  std::uint32_t date = static_cast<std::uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  std::uint32_t time = static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
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
