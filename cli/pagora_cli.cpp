// pagora-cli: Pagora's jobs from a terminal, one subcommand group per job.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "commands.h"
#include "failure.h"

int main(int argc, char** argv) {
  CLI::App app{"Pagora: build books for the Casio PV handheld from a terminal", "pagora-cli"};
  app.set_version_flag("--version", "pagora-cli " PAGORA_VERSION);
  app.require_subcommand(1);
  int status = 0;
  pagora::cli::addBookCommand(app, status);
  pagora::cli::addLzhCommand(app, status);
  pagora::cli::addAdtCommand(app, status);
  pagora::cli::addTextCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::string where = "pagora-cli";
    for (const CLI::App* level = &app; !level->get_subcommands().empty();) {
      level = level->get_subcommands().front();
      where += " " + level->get_name();
    }
    // Every usage error exits kExitUsage. The archiver group also keeps the classic archivers'
    // one-line message naming the fault and where help is; the other groups keep the parser's.
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
    if (where.rfind("pagora-cli lzh", 0) != 0) {
      app.exit(e);
      return pagora::cli::kExitUsage;
    }
    std::fprintf(stderr, "%s: %s (see '%s --help')\n", where.c_str(), e.what(), where.c_str());
    return pagora::cli::kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pagora-cli: %s\n", e.what());
    return pagora::cli::exitStatusFor(e);
  }
  return status;
}
