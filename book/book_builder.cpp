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
#include "common/mapped_file.h"
#include "text/recode.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"
#if PAGORA_BOOK_IMPORT
#include "textimport/book_import.h"
#endif

namespace pagora {

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

namespace {

// The recoding that brings a text of this code page to 1251; nullopt when it is 1251 already.
std::optional<Recoding> recodingFrom(CodePage page) {
  switch (page) {
    case CodePage::Utf8:
      return Recoding::Utf8ToWin;
    case CodePage::Koi8r:
      return Recoding::KoiToWin;
    case CodePage::Cp866:
      return Recoding::DosToWin;
    default:
      return std::nullopt;  // 1251 or ASCII already
  }
}

}  // namespace

std::optional<std::string> TBookBuilder::memberText(const std::string& file) {
  TBookTextNote note{file, false, CodePage::Cp1251, 1.0, 0};
  auto tidied = [&](TextBuffer lines) {
    if (TidyTexts) {
      TidyReport report;
      lines = tidyLines(lines, {}, &report);
      note.tidied = true;
      note.layout = report.layout;
    }
    if ((note.converted || note.tidied || note.missing != 0) && OnTextNote) OnTextNote(note);
    return joinLines(lines);
  };
#if PAGORA_BOOK_IMPORT
  if (isImportableBook(file)) {
    note.imported = true;
    return tidied(importBook(file, &note.missing));
  }
#endif
  if (!ConvertTexts && !TidyTexts) return std::nullopt;
  const MappedFile input(file);
  const std::string_view bytes = input.bytes();
  if (!looksLikeText(bytes)) return std::nullopt;
  std::optional<Recoding> recoding;
  if (ConvertTexts) {
    const CodePageGuess guess = guessCodePage(bytes);
    note.from = guess.page;
    note.confidence = guess.confidence;
    if (!isConfident(guess)) {
      // Neither converted nor tidied: a text whose code page is unknown goes in untouched.
      if (OnTextNote) OnTextNote(note);
      return std::nullopt;
    }
    recoding = recodingFrom(guess.page);
  }
  if (!recoding && !TidyTexts) return std::nullopt;  // stored byte for byte
  TextBuffer lines = splitLines(bytes);
  if (recoding) {
    note.missing = recodeLines(lines, *recoding);
    note.converted = true;
  }
  return tidied(std::move(lines));
}

void TBookBuilder::Compress(const std::vector<std::string>& files, const std::string& archiveName) {
  done_ = false;
  storedNames_.clear();

  // The stored names are computed on the names as the user sees them (a book under its ".txt"
  // name); what a member holds is asked for as it is packed.
  std::vector<std::string> sources = files;
  std::vector<std::string> shownNames;
  for (const auto& file : files) {
#if PAGORA_BOOK_IMPORT
    if (isImportableBook(file)) {
      shownNames.push_back(importedTextName(file));
      continue;
    }
#endif
    shownNames.push_back(file);
  }
  std::vector<std::string> stored = deviceStoredNames(shownNames);
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
  archiver_.OnMemberContents = [this](const std::string& file, std::string& contents) {
    std::optional<std::string> text = memberText(file);
    if (text) contents = std::move(*text);
    return text.has_value();
  };
  struct ClearEvents {
    TLzhArchiver& a;
    ~ClearEvents() {
      a.OnCheckFile = nullptr;
      a.OnAfterProcessed = nullptr;
      a.OnShowProgress = nullptr;
      a.OnMemberContents = nullptr;
    }
  } clearEvents{archiver_};
  archiver_.Compress();
  // Compress has returned, so the archive is complete even when it stored no file at all.
  done_ = true;
}

std::optional<std::string> wrapArchiveIntoAdt(const std::string& archiveName) {
  return CopyArchiveToAdt(archiveName, adtNameFor(archiveName));
}

bool canImportBooks() {
#if PAGORA_BOOK_IMPORT
  return true;
#else
  return false;
#endif
}

}  // namespace pagora
