// Building a book: the chosen files packed into one LZH archive (-lh5-, level-1 headers) under
// names in the handheld's character set, and the wrap of that archive into an ADT file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/lzharchiver.h"
#include "text/recode.h"
#include "text/tidy.h"

namespace pagora {

// What the build did with one chosen text besides storing it: converted it to code page 1251
// (from `from`, leaving `missing` characters as "?") and/or tidied it (laid out as `layout`), or
// stored it as it is because the guess of its code page was unsure (neither flag set).
struct TBookTextNote {
  std::string file;  // the chosen file (UTF-8 path)
  bool converted = false;
  CodePage from = CodePage::Cp1251;  // converted: the text's code page; unsure: the guess
  double confidence = 1.0;
  std::size_t missing = 0;
  bool tidied = false;
  TidyLayout layout = TidyLayout::Lines;  // tidied: the layout the text was found in
  bool imported = false;                  // an FB2, EPUB or HTML book turned into text
};

class TBookBuilder {
 public:
  // Configures the archive component as the main window does.
  TBookBuilder();
  ~TBookBuilder();
  TBookBuilder(const TBookBuilder&) = delete;
  TBookBuilder& operator=(const TBookBuilder&) = delete;

  TLzhArchiver& LzhArchiver1() { return archiver_; }

  // Progress of the member being coded (0 to 100); answering -1 cancels.
  std::function<void(int& percent)> OnShowProgress;
  // Once per file stored: its path and the name it is stored under.
  std::function<void(const std::string& file, const std::string& storedName)> OnAfterProcessed;
  // Once per text converted while packed, or stored as it is on an unsure guess.
  std::function<void(const TBookTextNote& note)> OnTextNote;

  // Texts in UTF-8, KOI8-R or 866 (by a confident guess) are converted to code page 1251 as
  // they are packed, as the view window would save them (CR LF after every line); everything
  // else is stored byte for byte. Off: every file goes in as it is.
  bool ConvertTexts = true;
  // Texts (and imported books) are tidied into one line per paragraph as they are packed, with
  // CR LF after every line; the files on disk never change. Off by default.
  bool TidyTexts = false;

  // Packs `files` (UTF-8 paths, in order) into `archiveName`, which must already be normalised:
  // an old archive of that name is deleted first, never appended to. Each file is stored under
  // its deviceStoredNames name; books in FB2 or EPUB form (when the importer is built in) are
  // stored as their text, under their name with ".txt". Converted and imported texts go into the
  // archive from memory; the files on disk never change. Returns when the archive is complete;
  // raises the archive component's failure when it cannot finish (no archive is left then).
  void Compress(const std::vector<std::string>& files, const std::string& archiveName);

  // Set by the done event; cleared when Compress starts.
  bool done() const { return done_; }
  // The names stored by the last Compress, in archive order.
  const std::vector<std::string>& storedNames() const { return storedNames_; }

 private:
  // The bytes a chosen file is stored as when they are not the file's own: the one place where
  // a member's text is prepared (imported, converted, tidied).
  std::optional<std::string> memberText(const std::string& file);

  TLzhArchiver archiver_;
  bool done_ = false;
  std::vector<std::string> storedNames_;
};

// Wraps an archive into archiveName + ".adt". Returns nothing on success, else the text to show.
[[nodiscard]] std::optional<std::string> wrapArchiveIntoAdt(const std::string& archiveName);

// Whether FB2/EPUB books can be added (the importer is built in).
bool canImportBooks();

}  // namespace pagora
