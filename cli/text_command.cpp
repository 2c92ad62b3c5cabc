// `pagora-cli text`: the view window's clean-up commands, splitting and encoding detection on
// text files. Files are changed in place through a temporary file, or written elsewhere with -o.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/terminal.h"
#include "text/recode.h"
#include "text/split_file.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"

namespace pagora::cli {

namespace {

struct FileOptions {
  std::vector<std::string> files;
  std::string output;
};

int fail(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "pagora-cli: text %s: %s\n", command.c_str(),
               escapeControl(message).c_str());
  return 1;
}

// Loads each file, lets `work` change its lines (returning a short report, or nothing to leave
// the file alone) and saves the result in place or to -o.
int forEachFile(const std::string& command, const FileOptions& options,
                const std::function<std::string(TextBuffer&, ProgressBar&)>& work) {
  if (!options.output.empty() && options.files.size() != 1) {
    return fail(command, "-o needs exactly one input file");
  }
  int status = 0;
  for (const std::string& file : options.files) {
    try {
      TextBuffer lines = LoadTextFile(file);
      ProgressBar bar(escapeControl(file));
      const std::string report = work(lines, bar);
      bar.clear();
      const std::string& target = options.output.empty() ? file : options.output;
      SaveTextFile(target, lines);
      std::printf("%s: %s\n", escapeControl(target).c_str(), report.c_str());
    } catch (const std::exception& e) {
      status = fail(command, e.what());
    }
  }
  return status;
}

LineProgress barProgress(ProgressBar& bar) {
  return [&bar](int position, int maximum) {
    if (maximum > 0) bar.update(static_cast<int>(100LL * position / maximum));
  };
}

std::string linesText(const TextBuffer& lines) {
  return std::to_string(lines.size()) + " lines";
}

int recodeFiles(const FileOptions& options, const std::string& from) {
  return forEachFile("recode", options, [&](TextBuffer& lines, ProgressBar& bar) {
    CodePage page = from == "866"     ? CodePage::Cp866
                    : from == "koi8r" ? CodePage::Koi8r
                    : from == "utf8"  ? CodePage::Utf8
                                      : CodePage::Cp1251;
    if (from == "auto") page = DetectCodePage(JoinLines(lines));
    const Recoding recoding = page == CodePage::Cp866   ? Recoding::DosToWin
                              : page == CodePage::Koi8r ? Recoding::KoiToWin
                                                        : Recoding::Utf8ToWin;
    if (page == CodePage::Ascii || page == CodePage::Cp1251) {
      return std::string(CodePageName(page)) + ", left as it is, " + linesText(lines);
    }
    RecodeLines(lines, recoding, barProgress(bar));
    return std::string(CodePageName(page)) + " -> cp1251, " + linesText(lines);
  });
}

int detectFiles(const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& file : files) {
    try {
      std::printf("%s: %s\n", escapeControl(file).c_str(),
                  CodePageName(DetectCodePage(ReadFileBytes(file))));
    } catch (const std::exception& e) {
      status = fail("detect", e.what());
    }
  }
  return status;
}

int splitFile(const std::string& file, long long chunk) {
  try {
    if (chunk < 0) {
      // The split dialog starts at a quarter of the file.
      chunk = static_cast<long long>(ReadFileBytes(file).size() / 4);
    }
    const std::vector<std::string> parts = SplitTextFile(file, chunk);
    for (const std::string& part : parts) std::printf("%s\n", escapeControl(part).c_str());
    std::printf("%zu parts of about %lld bytes\n", parts.size(), chunk);
  } catch (const std::exception& e) {
    return fail("split", e.what());
  }
  return 0;
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
  CLI::App* recode = text->add_subcommand("recode", "Convert texts into code page 1251");
  addFileOptions(recode, *recodeOptions);
  recode->add_option("--from", *from, "Encoding of the input (auto: guess it)")
      ->check(CLI::IsMember({"866", "koi8r", "utf8", "auto"}))
      ->default_str("auto");
  recode->callback([&status, recodeOptions, from] { status = recodeFiles(*recodeOptions, *from); });

  auto stripOptions = std::make_shared<FileOptions>();
  CLI::App* strip =
      text->add_subcommand("strip-html", "Delete HTML tags, keeping the text between them");
  addFileOptions(strip, *stripOptions);
  strip->callback([&status, stripOptions] {
    status = forEachFile("strip-html", *stripOptions, [](TextBuffer& lines, ProgressBar& bar) {
      int shown = -1;
      DeleteHtmlTags(lines, [&bar, &shown](int line, int total) {
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
      OneParagraphOneLine(lines, barProgress(bar));
      return linesText(lines);
    });
  });

  auto collapseOptions = std::make_shared<FileOptions>();
  CLI::App* collapse = text->add_subcommand("collapse", "Replace runs of spaces by one space");
  addFileOptions(collapse, *collapseOptions);
  collapse->callback([&status, collapseOptions] {
    status = forEachFile("collapse", *collapseOptions, [](TextBuffer& lines, ProgressBar& bar) {
      CollapseSpaces(lines, barProgress(bar));
      return linesText(lines);
    });
  });

  auto splitPath = std::make_shared<std::string>();
  auto chunk = std::make_shared<long long>(-1);
  CLI::App* split = text->add_subcommand(
      "split", "Split a text into parts NAME_1.EXT, NAME_2.EXT, ... of about --chunk bytes");
  split->add_option("file", *splitPath, "Text file")->required();
  split->add_option("--chunk", *chunk, "Bytes per part (default: a quarter of the file)")
      ->check(CLI::NonNegativeNumber);
  split->callback([&status, splitPath, chunk] { status = splitFile(*splitPath, *chunk); });

  auto detectPaths = std::make_shared<std::vector<std::string>>();
  CLI::App* detect = text->add_subcommand(
      "detect", "Tell the encoding of texts: ascii, utf8, cp1251, cp866, koi8r");
  detect->add_option("files", *detectPaths, "Text files")->required();
  detect->callback([&status, detectPaths] { status = detectFiles(*detectPaths); });

#if HAVE_TEXT_IMPORT_COMMAND
  addTextImportCommand(*text, status);
#endif
}

}  // namespace pagora::cli
