// pagora-cli book: build a book archive (optionally wrapped for PV Manager) and send one to the
// handheld with corvane-cli.
#include <CLI/CLI.hpp>
#ifdef _WIN32
#include <windows.h>

#include "win32_text.h"
#else
#include <spawn.h>
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "book/book_builder.h"
#include "book/book_names.h"
#include "book/corvane_arguments.h"
#include "book/file_sizes.h"
#include "commands.h"
#include "common/file_paths.h"
#include "failure.h"
#include "text/recode.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace pagora::cli {

namespace {

struct BuildOptions {
  std::string book;
  std::vector<std::string> files;
  bool adt = false;
  bool asIs = false;
  bool tidy = false;
};

struct SendOptions {
  std::string book;
  std::string port = "COM1";
  int baud = 9600;
};

#ifdef _WIN32
constexpr const char* kUploader = "corvane-cli.exe";

using pagora::windows::widen;

std::string programFolder() {
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  if (length == 0 || length >= 32768) return {};
  return std::filesystem::path(std::wstring(buffer, length)).parent_path().string();
}

// One argument quoted the way the C runtime of the started program splits its command line:
// backslashes double only in front of a quote.
std::wstring quotedArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// Starts the program with the arguments (the first names the program) and waits for it.
int runAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine;
  for (const std::string& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += quotedArgument(widen(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const bool searched = program.find_first_of("\\/") == std::string::npos;
  if (!CreateProcessW(searched ? nullptr : widen(program).c_str(), commandLine.data(), nullptr,
                      nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "pagora-cli: cannot start %s: error %lu\n", program.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
#else
constexpr const char* kUploader = "corvane-cli";

std::string programFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

// Starts the program with the arguments (the first names the program) and waits for it.
int runAndWait(const std::string& program, std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (auto& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = program.find('/') == std::string::npos
               ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
               : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    std::fprintf(stderr, "pagora-cli: cannot start %s: %s\n", program.c_str(), std::strerror(rc));
    return 1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
#endif

// The chosen list keeps one entry per file, names compared without regard to letter case
// (the window's rule), after "./" and ".." are resolved.
std::vector<std::string> withoutDuplicates(const std::vector<std::string>& files) {
  std::vector<std::string> out;
  for (const auto& file : files) {
    addChosenFile(out, std::filesystem::absolute(file).lexically_normal().generic_string());
  }
  return out;
}

// "notes.txt: UTF-8 -> 1251" on stdout, with what the conversion could not spell on stderr, or
// why a text went in as it is.
void printTextNote(const TBookTextNote& note) {
  const std::string name = std::filesystem::path(note.file).filename().string();
  if (!note.converted && !note.tidied && !note.imported) {
    std::printf(
        "%s: code page unsure (%s, confidence %.2f), stored as it is; convert it with "
        "pagora-cli text recode --from\n",
        name.c_str(), codePageName(note.from), note.confidence);
    return;
  }
  if (note.converted) std::printf("%s: %s -> 1251\n", name.c_str(), codePageLabel(note.from));
  if (note.tidied) std::printf("%s: tidied (%s)\n", name.c_str(), tidyLayoutName(note.layout));
  if (note.missing != 0) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", name.c_str(), missingCharactersNote(note.missing).c_str());
  }
}

int runBuild(const BuildOptions& options) {
  std::string archive = normaliseBookName(options.book);
  TBookBuilder builder;
  bool bar = ::isatty(STDERR_FILENO) == 1;
  std::string current;
  builder.OnShowProgress = [&](int& percent) {
    if (!bar) return;
    int filled = percent / 5;
    std::fprintf(stderr, "\r[%-20s] %3d%% %s", std::string(filled, '#').c_str(), percent,
                 current.c_str());
    std::fflush(stderr);
  };
  builder.ConvertTexts = !options.asIs;
  builder.TidyTexts = options.tidy;
  builder.OnTextNote = [&](const TBookTextNote& note) {
    if (bar) std::fprintf(stderr, "\r%-78s\r", "");
    printTextNote(note);
  };
  builder.OnAfterProcessed = [&](const std::string& file, const std::string& storedName) {
    if (bar) std::fprintf(stderr, "\r%-78s\r", "");
    // A book imported as text is named by the name it is stored under.
    const std::string shown = winToUtf8(deviceToWin(storedName));
    if (std::filesystem::path(shown).extension() != std::filesystem::path(file).extension()) {
      std::printf("added %s as %s\n", file.c_str(), shown.c_str());
    } else {
      std::printf("added %s\n", file.c_str());
    }
  };
  try {
    builder.Compress(withoutDuplicates(options.files), archive);
  } catch (const std::exception& e) {
    if (bar) std::fprintf(stderr, "\n");
    std::fprintf(stderr, "pagora-cli: %s\n", e.what());
    return exitStatusFor(e);
  }
  std::int64_t size = FileLength(archive);
  if (options.adt) {
    if (auto problem = wrapArchiveIntoAdt(archive)) {
      std::fprintf(stderr, "pagora-cli: %s\n", problem->c_str());
      return 1;
    }
    std::printf("File %s\nSize: %lld bytes\nReady to send in Casio PV\n",
                adtNameFor(archive).c_str(), static_cast<long long>(size));
  } else {
    std::printf("File %s\nSize: %lld bytes\n", archive.c_str(), static_cast<long long>(size));
  }
  return 0;
}

// "2" and "COM2" both name the second port; anything else is a device path.
std::string portName(const std::string& port) {
  bool digits = !port.empty() && port.find_first_not_of("0123456789") == std::string::npos;
  return digits ? "COM" + port : port;
}

int runSend(const SendOptions& options) {
  std::string archive = options.book;
  std::error_code ec;
  if (!std::filesystem::exists(archive, ec)) archive = normaliseBookName(options.book);
  std::int64_t size = FileLength(archive);
  std::printf("File %s\nSize: %lld bytes\n", archive.c_str(), static_cast<long long>(size));
  std::fflush(stdout);

  std::string folder = programFolder();
  std::string program = folder.empty() ? std::string() : AddSlash(folder) + kUploader;
  if (program.empty() || ::access(program.c_str(), X_OK) != 0) program = kUploader;
  std::vector<std::string> command{program};
  for (std::string& argument :
       corvaneArguments(std::to_string(options.baud), portName(options.port), false, archive))
    command.push_back(std::move(argument));
  return runAndWait(program, command);
}

}  // namespace

void addBookCommand(CLI::App& app, int& status) {
  auto* book = app.add_subcommand("book", "Build a book archive for the handheld, or send one");
  book->require_subcommand(1);

  auto build = std::make_shared<BuildOptions>();
  auto* buildCommand = book->add_subcommand(
      "build",
      "Pack FILES into the archive BOOK (\".lzh\" is added) under names in the "
      "handheld's character set");
  buildCommand->add_option("BOOK", build->book, "Book name, for example book or books/war.lzh")
      ->required();
  buildCommand->add_option("FILES", build->files, "Text files, in the order of the book")
      ->required()
      ->check(CLI::ExistingFile);
  buildCommand->add_flag("--adt", build->adt,
                         "Also wrap the archive into BOOK.lzh.adt for PV Manager");
  buildCommand->add_flag("--as-is", build->asIs,
                         "Store every file byte for byte (texts are converted to code page 1251 "
                         "otherwise)");
  buildCommand->add_flag("--tidy", build->tidy,
                         "Tidy texts into one line per paragraph in the archive (the files stay "
                         "as they are)");
  buildCommand->callback([build, &status] { status = runBuild(*build); });

  auto send = std::make_shared<SendOptions>();
  auto* sendCommand =
      book->add_subcommand("send", "Send the archive BOOK to the handheld with corvane-cli");
  sendCommand->add_option("BOOK", send->book, "The book archive")->required();
  sendCommand->add_option("--port", send->port, "COM1 to COM4 (or 1 to 4), or a serial device path")
      ->capture_default_str();
  sendCommand->add_option("--baud", send->baud, "Baud rate")
      ->check(CLI::IsMember({9600, 19200, 38400, 57600, 115200}))
      ->capture_default_str();
  sendCommand->callback([send, &status] {
    try {
      status = runSend(*send);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "pagora-cli: %s\n", e.what());
      status = exitStatusFor(e);
    }
  });
}

}  // namespace pagora::cli
