// Finding and reading the Receiver image.
#include "uploader/receiver_image.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {

extern const unsigned char kEmbeddedReceiver[];
extern const unsigned long kEmbeddedReceiverSize;

std::string executableFolder() {
  std::error_code error;
#ifdef _WIN32
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return {};
  const std::filesystem::path self(std::wstring(buffer, length));
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
#endif
  return self.parent_path().string();
}

std::optional<std::string> embeddedReceiverImage() {
  if (kEmbeddedReceiverSize == 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(kEmbeddedReceiver), kEmbeddedReceiverSize);
}

std::optional<std::string> readWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string content;
  char chunk[8192];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return content;
}

std::vector<std::string> receiverSearchFolders() {
  std::vector<std::string> folders;
  if (std::string beside = executableFolder(); !beside.empty()) folders.push_back(beside);
#ifndef _WIN32
  // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (data && data[0] == '/') {
    folders.push_back(std::string(data) + "/pagora");
  } else if (home && *home) {
    folders.push_back(std::string(home) + "/.local/share/pagora");
  }
  folders.push_back("/usr/share/pagora");
#endif
  return folders;
}

std::optional<std::string> loadReceiverImage(const std::vector<std::string>& folders) {
  if (const char* named = std::getenv(kReceiverFileVariable); named && *named) {
    return readWholeFile(named);
  }
  for (const std::string& folder : folders) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / "receiver.hex";
    std::error_code error;
    if (std::filesystem::exists(candidate, error)) return readWholeFile(candidate.string());
  }
  return embeddedReceiverImage();
}

std::optional<std::string> loadReceiverImage() {
  return loadReceiverImage(receiverSearchFolders());
}

}  // namespace corvane
