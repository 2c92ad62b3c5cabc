// Names at the archive's boundary: wildcard matching and expansion (with "/S"), member
// selection, stored names of files, safe expansion paths, and MS-DOS time stamps.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace pagora {

bool lzhHasWildcard(std::string_view entry);

// The archiver's own wildcard rule on bare file names (no folders): both sides lower-cased and
// split into base and extension, each part matched on its own.
bool lzhWildcardMatch(std::string_view pattern, std::string_view name);

// Files matched by a wildcard entry such as "/books/*.txt" or "/books/*.txt/S" (the latter
// searches subfolders too, each subfolder's matches where the folder stands in the listing).
// Names starting with "." and anything but regular files are left out; listing order is by name.
std::vector<std::string> lzhExpandWildcard(const std::string& entry);

// Whether a list entry selects a name: equal folder parts (case ignored) and a matching file
// part. Both may be written with '/' or '\'.
bool lzhSelects(std::string_view entry, std::string_view name);

// Where the folder part of a file path ends (npos: no folder): Windows separates folders with
// '\\' as well as '/' (and a drive "C:" ends one); on POSIX '\\' is a letter of the name.
std::size_t lzhLastFolderSeparator(std::string_view path);

// The stored name of a file path (host form in, archive form with '\' out): the TargetPath
// prefix removed with storePath, else only the file name; drive removed; upper-cased on request.
std::string lzhStoredName(const std::string& path, bool storePath, const std::string& targetPath,
                          bool upperCase);
// Only the last two rules (drive removed, upper case): applied again to a host's answer.
std::string lzhStoredNameTail(std::string name, bool upperCase);

// Upper and lower case of a name: ASCII, Latin-1 and Cyrillic letters of a UTF-8 name whatever
// the process locale; a name that is not UTF-8 has only its ASCII letters changed.
std::string lzhUpperCase(std::string_view name);
std::string lzhLowerCase(std::string_view name);
// Equal names without regard to case (by the rule above).
bool lzhSameIgnoringCase(std::string_view a, std::string_view b);

// The relative POSIX path a member name expands to: drive and root removed, '\' and '/' both
// folder separators, "." parts dropped. Raises ELzhUnsafePath for "..", NUL bytes or an
// empty result, so that nothing can land outside the target folder.
std::string lzhSafeRelativePath(std::string_view memberName);
// The same conversion without the refusal, for showing a refused name to a host that may
// rename or skip it.
std::string lzhUnsafeRelativePath(std::string_view memberName);
// True for a relative path that is empty, holds a NUL byte or has a ".." part: it could end up
// outside the folder it is put under.
bool lzhLeavesFolder(std::string_view relativePath);

// Local-time MS-DOS date (high word) and time (low word), and back.
std::uint32_t lzhDosDateTime(std::time_t when);
std::time_t lzhUnixTime(std::uint32_t dosDateTime);

}  // namespace pagora
