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

std::optional<std::string> loadReceiverImage() {
  if (const char* named = std::getenv(kReceiverFileVariable); named && *named) {
    return readWholeFile(named);
  }
  const std::string folder = executableFolder();
  if (!folder.empty()) {
    const std::filesystem::path beside = std::filesystem::path(folder) / "receiver.hex";
    std::error_code error;
    if (std::filesystem::exists(beside, error)) return readWholeFile(beside.string());
  }
  return embeddedReceiverImage();
}

}  // namespace corvane
