// Pagora's "Language" setting (section "Main" of config.ini) applied at start.
#pragma once

#include <QString>

namespace pagora {

// Reads the setting from the program's config.ini, installs the translations it names (or the
// desktop's, when it says System) and hands it to programs started later (Corvane) through the
// environment. Call once after the application object exists, before any window is made.
// Returns the installed language's code, or empty for English.
QString applyLanguageSetting();

}  // namespace pagora
