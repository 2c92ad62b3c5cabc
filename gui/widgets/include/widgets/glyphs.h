// The pictures on Pagora's toolbar buttons, drawn in code so the program needs no image files.
#pragma once

#include <QIcon>

namespace pagora {

enum class Glyph { Go, PvmPath, PvManager, Settings, Send, About, Exit, Tidy };

QIcon glyphIcon(Glyph glyph, int size = 24);

}  // namespace pagora
