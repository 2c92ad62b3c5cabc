// The book build: stored names, the archive component's Compress, and the ADT wrap.
#include "book/book_builder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>

#include "adt/adt_file.h"
#include "book/book_names.h"
#include "book/file_sizes.h"
#include "common/file_access.h"
#include "text/recode.h"
#include "text/text_buffer.h"
#if PAGORA_BOOK_IMPORT
#include "textimport/book_import.h"
#endif

namespace pagora {

namespace {

// A private folder for the texts of imported books, removed with everything in it.
class ScratchFolder {
 public:
  ~ScratchFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  const std::string& path() {
    if (path_.empty()) {
      std::error_code ec;
      auto base = std::filesystem::temp_directory_path(ec);
      std::string pattern = (ec ? std::string("/tmp") : base.string()) + "/pagora-book-XXXXXX";
      std::vector<char> buffer(pattern.begin(), pattern.end());
      buffer.push_back('\0');
      if (!::mkdtemp(buffer.data())) {
        throw EBookIO("Cannot create a temporary folder: " + std::string(std::strerror(errno)));
      }
      path_ = buffer.data();
    }
    return path_;
  }

 private:
  std::string path_;
};

}  // namespace

TBookBuilder::TBookBuilder() {
  archiver_.CompressionMethod = colh5;
  archiver_.ArchiveType = caLHA;
  archiver_.StorePath = false;
  archiver_.ForceUpperCase = false;
  archiver_.AllowDuplicates = false;
  archiver_.Confirm = false;
  archiver_.ExceptionOnFileError = true;
  archiver_.MakeDirectories = false;
  archiver_.SafeMode = false;
  archiver_.VerifyMode = false;
  archiver_.CheckSpaceBeforeExpand = false;
  archiver_.setConfirmMessages({"Please confirm", "Compress %s as %s?", "Expand %s to %s?",
                                "Delete %s from the archive?", "Verify archive integrity of %s?"});
}

TBookBuilder::~TBookBuilder() = default;

void TBookBuilder::Compress(const std::vector<std::string>& files, const std::string& archiveName) {
  done_ = false;
  storedNames_.clear();

  // What is packed: the file itself, or for a book the text it is imported into. The stored
  // names are computed on the names as the user sees them (a book under its ".txt" name).
  ScratchFolder scratch;
  std::vector<std::string> sources;
  std::vector<std::string> shownNames;
  for (const auto& file : files) {
#if PAGORA_BOOK_IMPORT
    if (IsImportableBook(file)) {
      std::string textName = ImportedTextName(file);
      std::string text = scratch.path() + "/" + std::to_string(sources.size()) + ".txt";
      SaveTextFile(text, ImportBook(file));
      sources.push_back(text);
      shownNames.push_back(textName);
      continue;
    }
#endif
    sources.push_back(file);
    shownNames.push_back(file);
  }
  std::vector<std::string> stored = DeviceStoredNames(shownNames);
  std::map<std::string, std::deque<std::string>> storedFor;
  for (std::size_t i = 0; i < sources.size(); ++i) storedFor[sources[i]].push_back(stored[i]);

  archiver_.setFilesToProcess(sources);
  archiver_.ArchiveName = archiveName;
  std::error_code ec;
  if (std::filesystem::exists(archiveName, ec) || std::filesystem::is_symlink(archiveName, ec)) {
    if (removeFile(archiveName) != 0 && errno != ENOENT) {
      throw EBookIO("Cannot delete " + archiveName + ": " + std::strerror(errno));
    }
  }

  archiver_.OnCheckFile = [&storedFor](const std::string& original, std::string& newName,
                                       std::int32_t, TLzhProcessMode) {
    auto found = storedFor.find(original);
    if (found == storedFor.end() || found->second.empty()) return;
    newName = found->second.front();
    found->second.pop_front();
  };
  archiver_.OnAfterProcessed = [this](const std::string& original, const std::string& storedName,
                                      std::int32_t, TLzhProcessMode) {
    done_ = true;
    storedNames_.push_back(storedName);
    if (OnAfterProcessed) OnAfterProcessed(original, storedName);
  };
  archiver_.OnShowProgress = [this](int& percent) {
    if (OnShowProgress) OnShowProgress(percent);
  };
  struct ClearEvents {
    TLzhArchiver& a;
    ~ClearEvents() {
      a.OnCheckFile = nullptr;
      a.OnAfterProcessed = nullptr;
      a.OnShowProgress = nullptr;
    }
  } clearEvents{archiver_};
  archiver_.Compress();
  // Compress has returned, so the archive is complete even when it stored no file at all.
  done_ = true;
}

std::optional<std::string> WrapArchiveIntoAdt(const std::string& archiveName) {
  return CopyArchiveToAdt(archiveName, AdtNameFor(archiveName));
}

bool CanImportBooks() {
#if PAGORA_BOOK_IMPORT
  return true;
#else
  return false;
#endif
}

}  // namespace pagora
