// `pagora-cli lzh`: list (l), test (t), extract (x), print (p) and add (a); the options of each
// subcommand. The work is in lzh_read.cpp, lzh_extract.cpp and lzh_add.cpp.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "lzh_shared.h"

namespace pagora::cli {

void addLzhCommand(CLI::App& app, int& status) {
  CLI::App* lzh = app.add_subcommand("lzh", "LZH archives: list, test, extract, print, add");
  lzh->require_subcommand(1);

  auto archive = std::make_shared<std::string>();
  auto password = std::make_shared<std::string>();
  auto patterns = std::make_shared<std::vector<std::string>>();
  auto names = std::make_shared<std::string>();
  const char* namesHelp =
      "Character set of member names: device, 1251, 866 or utf8 "
      "(default: UTF-8 when valid, else the device's)";
  auto nameSets = CLI::IsMember({"device", "1251", "866", "utf8"});

  CLI::App* list = lzh->add_subcommand("l", "List the members of an archive");
  auto verbose = std::make_shared<bool>(false);
  list->add_option("archive", *archive, "Archive file")->required();
  list->add_option("--names", *names, namesHelp)->check(nameSets);
  list->add_flag("-v,--verbose", *verbose, "Also show each member's name as stored and its note");
  list->callback([&status, archive, names, verbose] {
    setMemberNames(*names);
    status = listArchive(*archive, *verbose);
  });

  CLI::App* test = lzh->add_subcommand("t", "Test members (all, or those matching patterns)");
  test->add_option("archive", *archive, "Archive file")->required();
  test->add_option("members", *patterns, "Member names or patterns (* and ?)");
  test->add_option("--password", *password, "Password of scrambled members");
  test->add_option("--names", *names, namesHelp)->check(nameSets);
  test->callback([&status, archive, patterns, password, names] {
    setMemberNames(*names);
    status = testArchive(*archive, *patterns, *password);
  });

  CLI::App* print = lzh->add_subcommand("p", "Write members to standard output");
  print->add_option("archive", *archive, "Archive file")->required();
  print->add_option("members", *patterns, "Member names or patterns (* and ?)");
  print->add_option("--password", *password, "Password of scrambled members");
  print->callback([&status, archive, patterns, password] {
    status = printMembers(*archive, *patterns, *password);
  });

  auto extractOptions = std::make_shared<ExtractOptions>();
  auto replace = std::make_shared<bool>(false);
  auto keep = std::make_shared<bool>(false);
  auto safe = std::make_shared<bool>(false);
  CLI::App* extract = lzh->add_subcommand("x", "Extract members (all, or those matching patterns)");
  extract->add_option("archive", *archive, "Archive file")->required();
  extract->add_option("members", extractOptions->patterns, "Member names or patterns (* and ?)");
  extract->add_option("-C,--directory", extractOptions->folder,
                      "Folder to extract into (default: current)");
  extract->add_option("--password", extractOptions->password, "Password of scrambled members");
  CLI::Option* replaceOption =
      extract->add_flag("-o,--overwrite", *replace, "Replace existing files without asking");
  extract->add_flag("-n,--no-overwrite", *keep, "Never replace existing files (skip them quietly)")
      ->excludes(replaceOption);
  // Every member goes through a temporary file now; the flag stays for old scripts.
  extract->add_flag("--safe", *safe, "Accepted for compatibility: extraction is always safe");
  extract->add_flag("--confirm", extractOptions->confirm, "Ask before each member");
  extract->add_option("--names", *names, namesHelp)->check(nameSets);
  extract->callback([&status, archive, extractOptions, replace, keep, names] {
    setMemberNames(*names);
    extractOptions->overwrite = *replace ? Overwrite::Always
                                : *keep  ? Overwrite::Never
                                         : Overwrite::Ask;
    status = extractArchive(*archive, *extractOptions);
  });

  auto files = std::make_shared<std::vector<std::string>>();
  auto options = std::make_shared<AddOptions>();
  CLI::App* add =
      lzh->add_subcommand("a", "Add files to an archive (rebuilt, or appended with --append)");
  add->add_option("archive", *archive, "Archive file")->required();
  add->add_option("files", *files, "Files to add (* and ? patterns, pattern/S for subfolders)")
      ->required();
  add->add_option("--method", options->method, "Compression method")
      ->check(CLI::IsMember({"lh0", "lh1", "lh5"}))
      ->default_str("lh5");
  add->add_option("--level", options->level, "Header level")
      ->check(CLI::IsMember({0, 1}))
      ->default_str("1");
  add->add_flag("--store-path", options->storePath, "Keep folder names in the stored names");
  add->add_flag("--upper", options->upper, "Store names in upper case");
  add->add_option("--password", options->password, "Scramble new members with this password");
  add->add_flag("--append", options->append, "Append instead of rebuilding the archive");
  add->add_flag("--confirm", options->confirm, "Ask before each file");
  add->callback(
      [&status, archive, files, options] { status = addToArchive(*archive, *files, *options); });
}

}  // namespace pagora::cli
