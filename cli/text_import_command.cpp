// pagora-cli text import: turn an FB2 or EPUB book or an HTML page into a code page 1251 text
// file.
#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "commands.h"
#include "common/file_access.h"
#include "failure.h"
#include "terminal.h"
#include "text/recode.h"
#include "text/text_buffer.h"
#include "textimport/book_import.h"

namespace pagora::cli {

namespace {

struct ImportOptions {
  std::string book;
  std::string out;
};

int runImport(const ImportOptions& options) {
  const std::string out = options.out.empty() ? importedTextName(options.book) : options.out;
  if (sameFile(out, options.book)) {
    std::fprintf(stderr, "pagora-cli: %s: the text would replace the book itself\n",
                 options.book.c_str());
    return 1;
  }
  try {
    // The whole book is read before anything is written, so a bad book leaves OUT alone.
    std::size_t missing = 0;
    const std::vector<std::string> lines = importBook(options.book, &missing);
    saveTextFile(out, lines);
    std::printf("File %s\nLines: %zu\n", out.c_str(), lines.size());
    if (missing != 0) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", escapeControl(out).c_str(),
                   missingCharactersNote(missing).c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pagora-cli: %s\n", e.what());
    return exitStatusFor(e);
  }
  return 0;
}

}  // namespace

void addTextImportCommand(CLI::App& text, int& status) {
  auto options = std::make_shared<ImportOptions>();
  auto* command = text.add_subcommand(
      "import",
      "Turn an FB2 (.fb2, .fb2.zip) or EPUB book or an HTML page (.htm, .html) into a code page "
      "1251 text file");
  command->add_option("BOOK", options->book, "The book or page file")->required();
  command->add_option("-o,--output", options->out,
                      "The text file to write (default: the book's name with .txt)");
  command->callback([options, &status] { status = runImport(*options); });
}

}  // namespace pagora::cli
