// Name rules of a book build: book name, sizes and the stored names of the chosen files.
#include "book/book_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "text/recode.h"

namespace pagora {

namespace {

constexpr char kSeparator = '/';

// Upper case of a code page 1251 byte for the letters a case-insensitive file system folds:
// ASCII and the Russian alphabet.
char FoldByte(char c) {
  auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0) return static_cast<char>(b - 0x20);
  if (b == 0xB8) return static_cast<char>(0xA8);
  return c;
}

std::string Fold(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = FoldByte(c);
  return out;
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind(kSeparator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string AddSlash(const std::string& path) {
  if (path.empty() || path.back() == kSeparator) return path;
  return path + kSeparator;
}

std::string BaseName(const std::string& path) {
  auto slash = path.rfind(kSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NormaliseBookName(std::string text) {
  if (!text.empty() && text.front() == '"') text.erase(0, 1);
  if (!text.empty() && text.back() == '"') text.pop_back();
  std::string extension;
  auto dot = text.rfind('.');
  auto slash = text.rfind(kSeparator);
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

std::string AdtNameFor(const std::string& archiveName) { return archiveName + ".adt"; }

std::int64_t FileLength(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw EBookIO("Cannot open file " + fileName + ": " + std::strerror(errno));
  }
  struct stat info {};
  int rc = ::fstat(fd, &info);
  int error = errno;
  ::close(fd);
  if (rc != 0) throw EBookIO("Cannot read the size of " + fileName + ": " + std::strerror(error));
  if (S_ISDIR(info.st_mode)) {
    throw EBookIO("Cannot open file " + fileName + ": " + std::strerror(EISDIR));
  }
  return static_cast<std::int64_t>(info.st_size);
}

std::int64_t TotalLength(const std::vector<std::string>& files) {
  std::int64_t total = 0;
  for (const auto& file : files) total += FileLength(file);
  return total;
}

std::string SizeLine(std::int64_t total) { return "Size : " + std::to_string(total) + " bytes"; }

std::vector<std::string> DeviceStoredNames(const std::vector<std::string>& files) {
  // Replays the renames one by one: a file takes its converted name only when no chosen file
  // occupies that name in its folder at that moment.
  struct Entry {
    std::string folder;      // code page 1251, as the file system sees it
    std::string ownName;     // code page 1251
    std::string deviceName;  // device character set
  };
  std::vector<Entry> entries;
  entries.reserve(files.size());
  std::map<std::string, int> occupied;  // folded folder + name -> number of files holding it
  for (const auto& file : files) {
    Entry e{Utf8ToWin(FolderOf(file)), Utf8ToWin(BaseName(file)), {}};
    e.deviceName = WinToDevice(e.ownName);
    ++occupied[Fold(e.folder + e.ownName)];
    entries.push_back(std::move(e));
  }
  std::vector<std::string> stored;
  stored.reserve(entries.size());
  for (const auto& e : entries) {
    std::string from = Fold(e.folder + e.ownName);
    std::string to = Fold(e.folder + e.deviceName);
    if (from == to) {
      stored.push_back(e.deviceName);
      continue;
    }
    auto taken = occupied.find(to);
    if (taken != occupied.end() && taken->second > 0) {
      stored.push_back(e.ownName);
      continue;
    }
    if (--occupied[from] == 0) occupied.erase(from);
    ++occupied[to];
    stored.push_back(e.deviceName);
  }
  return stored;
}

}  // namespace pagora
