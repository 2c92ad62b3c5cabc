// Where a window was left, as a section of the layout file keeps it: placement flags, show state,
// the normal (restored) rectangle, and chosen properties of the window's parts. The windows turn
// it into geometry; this part only reads and writes the keys.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pagora {

class TIniFile;

// Keys of the section:
//   Flags          placement flags: 0, or 2 when a minimised window comes back maximised
//   ShowCmd        1 normal, 2 minimised, 3 maximised
//   PixelsPerInch  the screen's logical dots per inch at the time of saving
//   MinMaxPos      "%d,%d,%d,%d": minimised left,top then maximised left,top (-1 when unknown)
//   NormPos        "%d,%d,%d,%d": left, top, right, bottom of the normal geometry, right and
//                  bottom exclusive (left + width, top + height)
//   Visible        1 / 0
//   FormVersion    the layout's version; a layout older than the window's is not restored
//   <Component>_<Property> for every stored property.
struct FormPlacement {
  struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
  };
  enum ShowCommand { Normal = 1, Minimised = 2, Maximised = 3 };

  int flags = 0;
  int showCmd = Normal;
  int pixelsPerInch = 96;
  std::optional<Rect> normal;  // none when NormPos is missing or garbled
  bool visible = true;
  int formVersion = 0;
  // Stored properties by key, in the order they are written.
  std::vector<std::pair<std::string, std::string>> properties;
};

// The section's placement, or nothing when the section is missing or its FormVersion is below
// `version`. Of `propertyKeys`, only those present in the section are returned.
std::optional<FormPlacement> readFormPlacement(const TIniFile& ini, const std::string& section,
                                               int version,
                                               const std::vector<std::string>& propertyKeys);

// Writes every key in one rewrite of the file; throws EIniWrite (nothing is then written).
void writeFormPlacement(TIniFile& ini, const std::string& section, const FormPlacement& placement);

// "a,b,c,d" as a rectangle (blanks around the numbers allowed), or nothing when garbled.
std::optional<FormPlacement::Rect> parseFourNumbers(const std::string& text);

}  // namespace pagora
