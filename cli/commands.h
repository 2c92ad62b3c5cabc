// The command groups of pagora-cli. Each adds its subcommand to the app; its callbacks run
// during parsing and leave the exit status in `status` (0 success).
#pragma once

namespace CLI {
class App;
}

namespace pagora::cli {

void addLzhCommand(CLI::App& app, int& status);
void addAdtCommand(CLI::App& app, int& status);
void addTextCommand(CLI::App& app, int& status);
void addBookCommand(CLI::App& app, int& status);
// Adds `import` under the `text` group (called by addTextCommand).
void addTextImportCommand(CLI::App& text, int& status);

}  // namespace pagora::cli
