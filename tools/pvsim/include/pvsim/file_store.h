// Where the simulated Receiver keeps the files it receives: a folder on the host, written through
// a temporary file so that a cancelled or short transfer never replaces a good file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pvsim {

class FileStore {
 public:
  explicit FileStore(std::filesystem::path folder);
  ~FileStore();
  FileStore(const FileStore&) = delete;
  FileStore& operator=(const FileStore&) = delete;

  // The host name for a name sent by the uploader (code page 1251 bytes): UTF-8, or empty when
  // the name could reach outside the folder (empty, ".", "..", a '/' in it).
  static std::string hostName(std::string_view deviceName);

  // Starts receiving a file; an error text when the name is refused or no temporary file can be
  // made, empty on success.
  std::string begin(std::string_view deviceName);
  // Appends received bytes; an error text when they cannot be written.
  std::string append(const std::uint8_t* data, std::size_t size);
  // Puts the received file in place under its name; an error text on failure (the temporary
  // file is gone either way).
  std::string commit();
  // Drops the file being received; what stood under its name is untouched.
  void discard();

  bool receiving() const { return fd_ >= 0; }
  const std::string& currentName() const { return name_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path temporary_;
  std::string name_;
  int fd_ = -1;
};

}  // namespace pvsim
