// `pagora-cli text`: the view window's clean-up commands, splitting and encoding detection on
// text files. Files are changed in place through a temporary file, or written elsewhere with -o.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "common/mapped_file.h"
#include "common/replacing_writer.h"
#include "failure.h"
#include "terminal.h"
#include "text/recode.h"
#include "text/split_file.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"
#include "text/tidy.h"

namespace pagora::cli {

namespace {

struct FileOptions {
  std::vector<std::string> files;
  std::string output;
};

// A part of no bytes is a usage error like any bad option (the parser's own range check would
// print its limits as floating-point numbers).
const CLI::Validator kPositiveBytes(
    [](const std::string& value) -> std::string {
      return std::strtoll(value.c_str(), nullptr, 10) > 0 ? "" : "must be greater than 0";
    },
    "BYTES");

bool checkOutput(const std::string& command, const FileOptions& options) {
  if (!options.output.empty() && options.files.size() != 1) {
    fail("text", command, "-o needs exactly one input file", kExitUsage);
    return false;
  }
  return true;
}

// Maps each file and lets `work` write its new contents (returning a short report) in place or
// to -o; says "TARGET: REPORT", adding ", left as it is" when the bytes came out as they were
// (such a file is not written again). A failure is said and the next file goes on.
using FileWork =
    std::function<std::string(const std::string& file, std::string_view bytes, ReplacingWriter&)>;
int eachFileRewritten(const std::string& command, const FileOptions& options,
                      const FileWork& work) {
  if (!checkOutput(command, options)) return kExitUsage;
  int status = 0;
  const bool inPlace = options.output.empty();
  for (const std::string& file : options.files) {
    try {
      const MappedFile input(file);
      const std::string_view bytes = input.bytes();
      const std::string& target = inPlace ? file : options.output;
      ReplacingWriter out(target, inPlace ? &bytes : nullptr);
      const std::string report = work(file, bytes, out);
      const bool written = out.commit();
      std::printf("%s: %s%s\n", escapeControl(target).c_str(), report.c_str(),
                  written ? "" : ", left as it is");
    } catch (const std::exception& e) {
      status = fail("text", command, e);
    }
  }
  return status;
}

// The same for the view window's line commands: `work` changes the file's lines.
int forEachFile(const std::string& command, const FileOptions& options,
                const std::function<std::string(TextBuffer&, ProgressBar&)>& work) {
  return eachFileRewritten(
      command, options, [&](const std::string& file, std::string_view bytes, ReplacingWriter& out) {
        TextBuffer lines = splitLines(bytes);
        ProgressBar bar(escapeControl(file));
        const std::string report = work(lines, bar);
        bar.clear();
        out.write(joinLines(lines));
        return report;
      });
}

LineProgress barProgress(ProgressBar& bar) {
  return [&bar](int position, int maximum) {
    if (maximum > 0) bar.update(static_cast<int>(100LL * position / maximum));
  };
}

std::string linesText(std::size_t count) {
  return std::to_string(count) + " lines";
}

std::string linesText(const TextBuffer& lines) {
  return linesText(lines.size());
}

// Lines as the text buffer counts them: ends at CR LF, a lone CR or a lone LF, and a last line
// without an end counts too.
std::size_t countLines(std::string_view bytes) {
  if (bytes.empty()) return 0;
  std::size_t breaks = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  for (std::size_t i = bytes.find('\r'); i != std::string_view::npos; i = bytes.find('\r', i + 1)) {
    if (i + 1 == bytes.size() || bytes[i + 1] != '\n') ++breaks;
  }
  const char last = bytes.back();
  return breaks + (last == '\n' || last == '\r' ? 0 : 1);
}

// Pieces of the input converted at a time: big enough to make the system calls few, small
// enough to stay in the processor's cache.
constexpr std::size_t kPiece = 256 * 1024;

// Where to end a piece of UTF-8 that starts at `from`: before an ASCII byte, so that no
// character is cut and the next piece cannot begin with what looks like a byte order mark.
std::size_t utf8PieceEnd(std::string_view bytes, std::size_t from) {
  std::size_t end = std::min(bytes.size(), from + kPiece);
  if (end == bytes.size()) return end;
  for (std::size_t i = end; i > from + kPiece / 2; --i) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) return i;
  }
  // No ASCII byte for a long way: end between two characters at least.
  while (end > from + 1 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
  return end;
}

// In place, a named code page that the text plainly is not would ruin it (a second run of
// --from 866, --from koi8r on a 1251 text, --from utf8 on bytes that are not UTF-8): returns
// the refusal, or nothing when the name fits.
std::string contradiction(const std::string& file, std::string_view bytes, CodePage named) {
  if (named == CodePage::Utf8 && !isValidUtf8(bytes)) {
    return file + " is not valid UTF-8; give --force to convert anyway";
  }
  const CodePageGuess guess = guessCodePage(bytes, 256 * 1024);
  if (!isConfident(guess) || guess.page == named) return {};
  if (guess.page == CodePage::Ascii) return {};  // nothing to ruin: ASCII reads alike in all
  return file + " reads as " + codePageName(guess.page) + ", not " + codePageLabel(named) +
         "; give --force to convert anyway";
}

// Recoding goes byte for byte (line ends and everything else stay as they are) from the mapped
// file into the output in pieces; a file that comes out unchanged is not written at all.
int recodeFiles(const FileOptions& options, const std::string& from, bool force) {
  if (!checkOutput("recode", options)) return kExitUsage;
  int status = 0;
  const bool inPlace = options.output.empty();
  for (const std::string& file : options.files) {
    try {
      const MappedFile input(file);
      const std::string_view bytes = input.bytes();
      CodePage page = CodePage::Cp1251;
      std::string guessNote;
      if (from == "auto") {
        const CodePageGuess guess = guessCodePage(bytes, 256 * 1024);
        if (!isConfident(guess)) {
          if (inPlace && !force) {
            status = fail("text", "recode",
                          "cannot tell the code page of " + file + " with confidence; give --from");
            continue;
          }
          char note[64];
          std::snprintf(note, sizeof note, " (a guess, confidence %.2f)", guess.confidence);
          guessNote = note;
        }
        page = guess.page;
      } else {
        page = *codePageFromName(from);
        // Naming 1251 or ASCII changes nothing, so there is nothing to refuse.
        const bool changes = page != CodePage::Cp1251 && page != CodePage::Ascii;
        if (inPlace && !force && changes) {
          const std::string refusal = contradiction(file, bytes, page);
          if (!refusal.empty()) {
            status = fail("text", "recode", refusal);
            continue;
          }
        }
      }
      const std::string& target = inPlace ? file : options.output;
      const std::string lines = linesText(countLines(bytes));
      if (inPlace && (page == CodePage::Ascii || page == CodePage::Cp1251)) {
        std::printf("%s: %s%s, left as it is, %s\n", escapeControl(target).c_str(),
                    codePageName(page), guessNote.c_str(), lines.c_str());
        continue;
      }
      ReplacingWriter out(target, inPlace ? &bytes : nullptr);
      ProgressBar bar(escapeControl(file));
      std::size_t missing = 0;
      for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end =
            page == CodePage::Utf8 ? utf8PieceEnd(bytes, at) : std::min(bytes.size(), at + kPiece);
        std::size_t lost = 0;
        out.write(toWin(bytes.substr(at, end - at), page, &lost));
        missing += lost;
        at = end;
        bar.update(static_cast<int>(100.0 * static_cast<double>(at) / bytes.size()));
      }
      const bool written = out.commit();
      bar.clear();
      if (page == CodePage::Ascii || page == CodePage::Cp1251) {
        std::printf("%s: %s%s, copied as it is, %s\n", escapeControl(target).c_str(),
                    codePageName(page), guessNote.c_str(), lines.c_str());
      } else {
        std::printf("%s: %s -> cp1251%s%s, %s\n", escapeControl(target).c_str(), codePageName(page),
                    guessNote.c_str(), written ? "" : ", nothing to change, left as it is",
                    lines.c_str());
      }
      if (missing != 0) {
        std::fprintf(stderr, "%s: %s\n", escapeControl(target).c_str(),
                     missingCharactersNote(missing).c_str());
      }
    } catch (const std::exception& e) {
      status = fail("text", "recode", e);
    }
  }
  return status;
}

// Collapse spaces line by line from the mapped file; every line is written with CR LF after it,
// as the view window saves it.
int collapseFiles(const FileOptions& options) {
  return eachFileRewritten(
      "collapse", options,
      [](const std::string& file, std::string_view bytes, ReplacingWriter& out) {
        ProgressBar bar(escapeControl(file));
        std::string piece;
        piece.reserve(kPiece + 4096);
        std::size_t lines = 0;
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        while (p < end) {
          const char* q = p;
          while (q < end && *q != '\r' && *q != '\n') ++q;
          piece += collapseSpacesInLine(std::string_view(p, static_cast<std::size_t>(q - p)));
          piece += "\r\n";
          ++lines;
          if (q < end) q += (*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1;
          p = q;
          if (piece.size() >= kPiece) {
            out.write(piece);
            piece.clear();
            bar.update(static_cast<int>(100.0 * static_cast<double>(p - bytes.data()) /
                                        static_cast<double>(bytes.size())));
          }
        }
        out.write(piece);
        bar.clear();
        return linesText(lines);
      });
}

int detectFiles(const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& file : files) {
    try {
      const MappedFile input(file);
      if (!looksLikeText(input.bytes())) {
        std::printf("%s: not text\n", escapeControl(file).c_str());
        continue;
      }
      const CodePageGuess guess = guessCodePage(input.bytes());
      std::printf("%s: %s, confidence %.2f%s\n", escapeControl(file).c_str(),
                  codePageName(guess.page), guess.confidence,
                  isConfident(guess) ? "" : " (unsure)");
    } catch (const std::exception& e) {
      status = fail("text", "detect", e);
    }
  }
  return status;
}

int splitFile(const std::string& file, long long chunk) {
  try {
    if (chunk < 0) {
      // The split dialog starts at a quarter of the file.
      chunk = static_cast<long long>(MappedFile(file).bytes().size() / 4);
    }
    const std::vector<std::string> parts = SplitTextFile(file, chunk);
    for (const std::string& part : parts) std::printf("%s\n", escapeControl(part).c_str());
    std::printf("%zu parts of about %lld bytes\n", parts.size(), chunk);
  } catch (const std::exception& e) {
    return fail("text", "split", e);
  }
  return 0;
}

// Tidy reads the whole file (it measures the text before it decides anything) and writes the
// result with the file's own line ends; a file that comes out the same is not written.
int tidyFiles(const FileOptions& options, const TidyOptions& tidyOptions) {
  return eachFileRewritten(
      "tidy", options, [&](const std::string&, std::string_view bytes, ReplacingWriter& out) {
        TidyReport report;
        out.write(tidyBytes(bytes, tidyOptions, &report));
        char counts[160];
        std::snprintf(counts, sizeof counts,
                      ", %zu lines, %zu words rejoined, %zu page lines removed", report.paragraphs,
                      report.hyphensJoined, report.pageLines);
        return tidyLayoutName(report.layout) + std::string(counts);
      });
}

void addFileOptions(CLI::App* command, FileOptions& options) {
  command->add_option("files", options.files, "Text files (changed in place unless -o is given)")
      ->required();
  command->add_option("-o,--output", options.output,
                      "Write the result here instead (one input file)");
}

}  // namespace

void addTextCommand(CLI::App& app, int& status) {
  CLI::App* text = app.add_subcommand(
      "text", "Text files: recode to code page 1251, strip HTML, join paragraphs, split");
  text->require_subcommand(1);

  auto recodeOptions = std::make_shared<FileOptions>();
  auto from = std::make_shared<std::string>("auto");
  auto force = std::make_shared<bool>(false);
  CLI::App* recode = text->add_subcommand("recode", "Convert texts into code page 1251");
  addFileOptions(recode, *recodeOptions);
  recode
      ->add_option("--from", *from,
                   "Encoding of the input: auto (guess it), utf8, koi8r, cp866, cp1251, ... as "
                   "iconv names them, in any letter case")
      ->check(CLI::Validator(
          [](std::string& name) {
            return name == "auto" || codePageFromName(name) ? std::string()
                                                            : "unknown code page " + name;
          },
          "CODEPAGE"))
      ->default_str("auto");
  recode->add_flag("--force", *force,
                   "Recode in place even when the guess is unsure or contradicts --from");
  recode->callback([&status, recodeOptions, from, force] {
    status = recodeFiles(*recodeOptions, *from, *force);
  });

  auto stripOptions = std::make_shared<FileOptions>();
  CLI::App* strip =
      text->add_subcommand("strip-html", "Delete HTML tags, keeping the text between them");
  addFileOptions(strip, *stripOptions);
  strip->callback([&status, stripOptions] {
    status = forEachFile("strip-html", *stripOptions, [](TextBuffer& lines, ProgressBar& bar) {
      int shown = -1;
      deleteHtmlTags(lines, [&bar, &shown](int line, int total) {
        const int percent = static_cast<int>(100LL * line / total);
        if (percent != shown) bar.update(shown = percent);
      });
      return linesText(lines);
    });
  });

  auto reflowOptions = std::make_shared<FileOptions>();
  CLI::App* reflow =
      text->add_subcommand("reflow", "One paragraph, one line: join the lines of each paragraph");
  addFileOptions(reflow, *reflowOptions);
  reflow->callback([&status, reflowOptions] {
    status = forEachFile("reflow", *reflowOptions, [](TextBuffer& lines, ProgressBar& bar) {
      oneParagraphOneLine(lines, barProgress(bar));
      return linesText(lines);
    });
  });

  auto collapseOptions = std::make_shared<FileOptions>();
  CLI::App* collapse = text->add_subcommand("collapse", "Replace runs of spaces by one space");
  addFileOptions(collapse, *collapseOptions);
  collapse->callback([&status, collapseOptions] { status = collapseFiles(*collapseOptions); });

  auto tidyOptions = std::make_shared<FileOptions>();
  auto tidySettings = std::make_shared<TidyOptions>();
  auto layoutName = std::make_shared<std::string>("auto");
  CLI::App* tidyCommand = text->add_subcommand(
      "tidy", "One line per paragraph from hard-wrapped, justified or paged texts");
  addFileOptions(tidyCommand, *tidyOptions);
  tidyCommand
      ->add_option("--layout", *layoutName,
                   "How paragraphs are marked: auto (find out), lines (one a line: leave it), "
                   "indent, blank (blank lines) or width (a short line ends one)")
      ->check(CLI::IsMember({"auto", "lines", "indent", "blank", "width"}))
      ->default_str("auto");
  tidyCommand->add_flag("--keep-hyphens", tidySettings->keepHyphens,
                        "Keep the hyphen of a word cut at a line end");
  tidyCommand->callback([&status, tidyOptions, tidySettings, layoutName] {
    tidyLayoutFromName(*layoutName, tidySettings->layout);
    status = tidyFiles(*tidyOptions, *tidySettings);
  });

  auto splitPath = std::make_shared<std::string>();
  auto chunk = std::make_shared<long long>(-1);
  CLI::App* split = text->add_subcommand(
      "split", "Split a text into parts NAME_1.EXT, NAME_2.EXT, ... of about --chunk bytes");
  split->add_option("file", *splitPath, "Text file")->required();
  split->add_option("--chunk", *chunk, "Bytes per part (default: a quarter of the file)")
      ->check(kPositiveBytes);
  split->callback([&status, splitPath, chunk] { status = splitFile(*splitPath, *chunk); });

  auto detectPaths = std::make_shared<std::vector<std::string>>();
  CLI::App* detect = text->add_subcommand(
      "detect",
      "Tell the encoding of texts (ascii, utf8, cp1251, cp866, koi8r) and how sure the guess is");
  detect->add_option("files", *detectPaths, "Text files")->required();
  detect->callback([&status, detectPaths] { status = detectFiles(*detectPaths); });

#if PAGORA_BOOK_IMPORT
  addTextImportCommand(*text, status);
#endif
}

}  // namespace pagora::cli
