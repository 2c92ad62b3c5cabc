// The settings-file reader and writer: Windows profile-file rules (case-insensitive sections and
// keys, first match wins, values read as at most 1023 characters, the rest of the file untouched).
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/exception.h"

namespace pagora {

// A write that the system refuses (read-only file or folder, missing folder, full disk):
// "Unable to write to <file name>". The file keeps its previous contents.
class EIniWrite : public Exception {
 public:
  explicit EIniWrite(const std::string& fileName, int systemError = 0)
      : Exception("Unable to write to " + fileName, failureKindOf(systemError), systemError) {}
};

// One profile file. Every call reads the file afresh and every write rewrites it at once
// (through a temporary file in the same folder renamed over it), so two objects on the same
// file, or another program editing it between calls, always see the current contents. A relative
// name is resolved against the process's current folder at the time of each call.
//
// Reading rules: section names and key names are compared without regard to (ASCII) letter case
// after trimming blanks; only the first section of a name
// counts and, in it, only the first line of a key; a value is trimmed of surrounding blanks, loses
// one pair of surrounding matching quotes, and is cut to 1023 characters. Lines starting with ';'
// are comments. A missing file, section or key gives the default.
//
// Writing rules: an existing key line is replaced in place by "key=value" (the key spelled as the
// caller gives it); a new key goes after the last non-blank line of its section; a new section
// goes at the end of the file. New lines use the file's own line ends (CR LF for a new file).
// Every other byte of the file stays as it was.
class TIniFile {
 public:
  static constexpr std::size_t MaxValueLength = 1023;

  explicit TIniFile(std::filesystem::path fileName);

  const std::filesystem::path& FileName() const { return fileName_; }

  std::string readString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal with an optional sign, or hexadecimal after "0x"/"0X" (value longer than two
  // characters); anything else, or a number outside 32 bits, gives the default.
  int readInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // Any integer other than 0 is true; a value that is not an integer gives the default.
  bool readBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // All throw EIniWrite when the file cannot be written; the file is then left as it was.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInteger(const std::string& section, const std::string& key, int value);
  void writeBool(const std::string& section, const std::string& key, bool value);  // "1" / "0"
  // Several keys of one section in one rewrite of the file, in the given order: all of them are
  // written or, on EIniWrite, none.
  void writeValues(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keyValues);

  bool sectionExists(const std::string& section) const;
  bool valueExists(const std::string& section, const std::string& key) const;
  // The key names of the first section of that name, in file order, first spelling of each.
  std::vector<std::string> readSection(const std::string& section) const;
  // Removes the key line (first match); removing what is not there changes nothing.
  void deleteKey(const std::string& section, const std::string& key);
  // Removes the first section of that name with all its lines.
  void eraseSection(const std::string& section);

 private:
  std::filesystem::path fileName_;
};

}  // namespace pagora
