// The settings-file reader and writer with Windows profile-file rules.
#include "settings/inifile.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <iterator>
#include <optional>
#include <system_error>

#include "common/file_access.h"

namespace pagora {
namespace {

// One line of the file: its text without the line end, and the line end as found.
struct Line {
  std::string text;
  std::string end;
};

struct ParsedFile {
  std::vector<Line> lines;
  std::string newline = "\r\n";  // the file's own convention, for lines we add
};

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// The file's bytes, or nothing when it cannot be read (a missing file has no settings yet).
std::optional<std::string> readIfThere(const std::filesystem::path& name) {
  try {
    return readWholeFile(name.string());
  } catch (const EFileAccess&) {
    return std::nullopt;
  }
}

ParsedFile parse(const std::string& bytes) {
  ParsedFile f;
  bool sawLineEnd = false;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t e = bytes.find_first_of("\r\n", pos);
    Line line;
    if (e == std::string::npos) {
      line.text = bytes.substr(pos);
      pos = bytes.size();
    } else {
      line.text = bytes.substr(pos, e - pos);
      std::size_t endLen =
          (bytes[e] == '\r' && e + 1 < bytes.size() && bytes[e + 1] == '\n') ? 2 : 1;
      line.end = bytes.substr(e, endLen);
      if (!sawLineEnd) {
        f.newline = line.end;
        sawLineEnd = true;
      }
      pos = e + endLen;
    }
    f.lines.push_back(std::move(line));
  }
  return f;
}

std::string join(const ParsedFile& f) {
  std::string out;
  for (const Line& l : f.lines) {
    out += l.text;
    out += l.end;
  }
  return out;
}

// "[name]" (blanks allowed around and inside the brackets): the section name, or nothing.
std::optional<std::string> sectionHeader(const std::string& text) {
  std::string t = trim(text);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return trim(t.substr(1, close - 1));
}

bool isComment(const std::string& text) {
  std::string t = trim(text);
  return !t.empty() && t.front() == ';';
}

// "key=value": the trimmed key, or nothing for lines that hold no key.
std::optional<std::string> keyOf(const std::string& text) {
  if (isComment(text) || sectionHeader(text)) return std::nullopt;
  std::size_t eq = text.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string k = trim(text.substr(0, eq));
  if (k.empty()) return std::nullopt;
  return k;
}

// Index range [first, last) of the body of the first section called name; first is the header.
struct SectionSpan {
  std::size_t header;
  std::size_t end;
};

std::optional<SectionSpan> findSection(const ParsedFile& f, const std::string& name) {
  std::string wanted = trim(name);
  for (std::size_t i = 0; i < f.lines.size(); ++i) {
    auto h = sectionHeader(f.lines[i].text);
    if (!h || !sameName(*h, wanted)) continue;
    std::size_t j = i + 1;
    while (j < f.lines.size() && !sectionHeader(f.lines[j].text)) ++j;
    return SectionSpan{i, j};
  }
  return std::nullopt;
}

std::optional<std::size_t> findKey(const ParsedFile& f, const SectionSpan& s,
                                   const std::string& key) {
  std::string wanted = trim(key);
  for (std::size_t i = s.header + 1; i < s.end; ++i) {
    auto k = keyOf(f.lines[i].text);
    if (k && sameName(*k, wanted)) return i;
  }
  return std::nullopt;
}

std::string valueOf(const std::string& text) {
  std::string v = trim(text.substr(text.find('=') + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  if (v.size() > TIniFile::MaxValueLength) v.resize(TIniFile::MaxValueLength);
  return v;
}

ParsedFile load(const std::filesystem::path& name) {
  auto bytes = readIfThere(name);
  return bytes ? parse(*bytes) : ParsedFile{};
}

// Replaces the file's contents as one step: a half-written settings file must never be left
// where a good one stood.
void store(const std::filesystem::path& name, const std::string& bytes) {
  const std::string shown = name.string();
  std::error_code ec;
  if (std::filesystem::exists(name, ec) && ::access(name.c_str(), W_OK) != 0)
    throw EIniWrite(shown, errno);
  try {
    writeFileReplacing(shown, bytes);
  } catch (const EFileAccess& e) {
    throw EIniWrite(shown, e.systemError());
  }
}

std::optional<int> parseInteger(const std::string& v) {
  if (v.empty()) return std::nullopt;
  long long value = 0;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    for (std::size_t i = 2; i < v.size(); ++i) {
      char c = v[i];
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return std::nullopt;
      value = value * 16 + d;
      if (value > 0xFFFFFFFFLL) return std::nullopt;
    }
    // Hexadecimal spells the 32-bit pattern: 0xFFFFFFFF is -1.
    return static_cast<int>(static_cast<unsigned int>(value));
  }
  std::size_t i = 0;
  bool negative = false;
  if (v[0] == '+' || v[0] == '-') {
    negative = v[0] == '-';
    i = 1;
  }
  if (i == v.size()) return std::nullopt;
  for (; i < v.size(); ++i) {
    if (v[i] < '0' || v[i] > '9') return std::nullopt;
    value = value * 10 + (v[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

TIniFile::TIniFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::readString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  ParsedFile f = load(fileName_);
  auto s = findSection(f, section);
  if (!s) return defaultValue;
  auto k = findKey(f, *s, key);
  if (!k) return defaultValue;
  return valueOf(f.lines[*k].text);
}

int TIniFile::readInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
  auto v = parseInteger(readString(section, key, ""));
  return v ? *v : defaultValue;
}

bool TIniFile::readBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::writeString(const std::string& section, const std::string& key,
                           const std::string& value) {
  writeValues(section, {{key, value}});
}

namespace {

void setValue(ParsedFile& f, const std::string& section, const std::string& key,
              const std::string& value) {
  const std::string keyName = trim(key);
  const std::string line = keyName + "=" + value;
  auto s = findSection(f, section);
  if (!s) {
    if (!f.lines.empty() && f.lines.back().end.empty()) f.lines.back().end = f.newline;
    // A named string, not "[" + a temporary: GCC 12 warns falsely (-Wrestrict) on that.
    const std::string name = trim(section);
    f.lines.push_back({"[" + name + "]", f.newline});
    f.lines.push_back({line, f.newline});
  } else if (auto k = findKey(f, *s, key)) {
    f.lines[*k].text = line;
  } else {
    std::size_t after = s->header;
    for (std::size_t i = s->header + 1; i < s->end; ++i)
      if (!trim(f.lines[i].text).empty()) after = i;
    if (f.lines[after].end.empty()) f.lines[after].end = f.newline;
    f.lines.insert(f.lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, Line{line, f.newline});
  }
}

}  // namespace

void TIniFile::writeValues(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues) {
  ParsedFile f = load(fileName_);
  for (const auto& [key, value] : keyValues) setValue(f, section, key, value);
  store(fileName_, join(f));
}

void TIniFile::writeInteger(const std::string& section, const std::string& key, int value) {
  writeString(section, key, std::to_string(value));
}

void TIniFile::writeBool(const std::string& section, const std::string& key, bool value) {
  writeString(section, key, value ? "1" : "0");
}

bool TIniFile::sectionExists(const std::string& section) const {
  ParsedFile f = load(fileName_);
  return findSection(f, section).has_value();
}

bool TIniFile::valueExists(const std::string& section, const std::string& key) const {
  ParsedFile f = load(fileName_);
  auto s = findSection(f, section);
  return s && findKey(f, *s, key).has_value();
}

std::vector<std::string> TIniFile::readSection(const std::string& section) const {
  ParsedFile f = load(fileName_);
  std::vector<std::string> keys;
  auto s = findSection(f, section);
  if (!s) return keys;
  for (std::size_t i = s->header + 1; i < s->end; ++i) {
    auto k = keyOf(f.lines[i].text);
    if (!k) continue;
    bool seen = false;
    for (const auto& known : keys) seen = seen || sameName(known, *k);
    if (!seen) keys.push_back(*k);
  }
  return keys;
}

void TIniFile::deleteKey(const std::string& section, const std::string& key) {
  ParsedFile f = load(fileName_);
  auto s = findSection(f, section);
  if (!s) return;
  auto k = findKey(f, *s, key);
  if (!k) return;
  f.lines.erase(f.lines.begin() + static_cast<std::ptrdiff_t>(*k));
  store(fileName_, join(f));
}

void TIniFile::eraseSection(const std::string& section) {
  ParsedFile f = load(fileName_);
  auto s = findSection(f, section);
  if (!s) return;
  f.lines.erase(f.lines.begin() + static_cast<std::ptrdiff_t>(s->header),
                f.lines.begin() + static_cast<std::ptrdiff_t>(s->end));
  store(fileName_, join(f));
}

}  // namespace pagora
