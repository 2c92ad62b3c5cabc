// A window's placement in its section of the layout file.
#include "settings/form_placement.h"

#include <charconv>
#include <cstdio>

#include "settings/inifile.h"

namespace pagora {
namespace {

std::string four(int a, int b, int c, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", a, b, c, d);
  return buf;
}

bool parseNumber(std::string_view text, int& out) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<FormPlacement::Rect> parseFourNumbers(const std::string& text) {
  int values[4];
  std::string_view rest = text;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = rest.find(',');
    const bool last = i == 3;
    if (last != (comma == std::string_view::npos)) return std::nullopt;
    if (!parseNumber(rest.substr(0, comma), values[i])) return std::nullopt;
    if (!last) rest.remove_prefix(comma + 1);
  }
  return FormPlacement::Rect{values[0], values[1], values[2], values[3]};
}

std::optional<FormPlacement> readFormPlacement(const TIniFile& ini, const std::string& section,
                                               int version,
                                               const std::vector<std::string>& propertyKeys) {
  if (!ini.sectionExists(section)) return std::nullopt;
  FormPlacement placement;
  placement.formVersion = ini.readInteger(section, "FormVersion", 0);
  if (placement.formVersion < version) return std::nullopt;
  placement.flags = ini.readInteger(section, "Flags", 0);
  placement.showCmd = ini.readInteger(section, "ShowCmd", FormPlacement::Normal);
  placement.pixelsPerInch = ini.readInteger(section, "PixelsPerInch", 96);
  placement.normal = parseFourNumbers(ini.readString(section, "NormPos", ""));
  placement.visible = ini.readInteger(section, "Visible", 1) != 0;
  for (const std::string& key : propertyKeys) {
    if (ini.valueExists(section, key))
      placement.properties.emplace_back(key, ini.readString(section, key, ""));
  }
  return placement;
}

void writeFormPlacement(TIniFile& ini, const std::string& section, const FormPlacement& placement) {
  const FormPlacement::Rect normal = placement.normal.value_or(FormPlacement::Rect{});
  std::vector<std::pair<std::string, std::string>> values = {
      {"Flags", std::to_string(placement.flags)},
      {"ShowCmd", std::to_string(placement.showCmd)},
      {"PixelsPerInch", std::to_string(placement.pixelsPerInch)},
      {"MinMaxPos", four(-1, -1, -1, -1)},
      {"NormPos", four(normal.left, normal.top, normal.right, normal.bottom)},
      {"Visible", placement.visible ? "1" : "0"},
      {"FormVersion", std::to_string(placement.formVersion)},
  };
  values.insert(values.end(), placement.properties.begin(), placement.properties.end());
  ini.writeValues(section, values);
}

}  // namespace pagora
