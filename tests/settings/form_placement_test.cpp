// A window's placement in the layout file: the exact keys written, what is read back, and
// garbled or outdated sections left alone.
#include "settings/form_placement.h"

#include <gtest/gtest.h>

#include "settings/inifile.h"
#include "temp_folder.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(FormPlacementNumbers, FourNumbersOrNothing) {
  struct Case {
    const char* text;
    bool ok;
    FormPlacement::Rect rect;
  };
  const Case cases[] = {
      {"10,20,110,220", true, {10, 20, 110, 220}},
      {" 10 , 20 ,\t110, 220 ", true, {10, 20, 110, 220}},
      {"-1,-1,-1,-1", true, {-1, -1, -1, -1}},
      {"+5,0,0,0", true, {5, 0, 0, 0}},
      {"", false, {}},
      {"1,2,3", false, {}},
      {"1,2,3,4,5", false, {}},
      {"1,2,,4", false, {}},
      {"1,2,3,4x", false, {}},
      {"a,b,c,d", false, {}},
      {"99999999999,0,0,0", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto rect = parseFourNumbers(c.text);
    ASSERT_EQ(rect.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(rect->left, c.rect.left);
    EXPECT_EQ(rect->top, c.rect.top);
    EXPECT_EQ(rect->right, c.rect.right);
    EXPECT_EQ(rect->bottom, c.rect.bottom);
  }
}

TEST(FormPlacementFile, WritesEveryKeyInOrderAndReadsThemBack) {
  TempFolder dir;
  TIniFile ini(dir.file("config.ini"));
  FormPlacement placement;
  placement.showCmd = FormPlacement::Maximised;
  placement.pixelsPerInch = 120;
  placement.normal = FormPlacement::Rect{10, 20, 650, 500};
  placement.visible = false;
  placement.formVersion = 2;
  placement.properties = {{"DirListBox_Width", "180"}, {"FileListBox_Mask", "*.txt"}};
  writeFormPlacement(ini, "TForm1", placement);
  EXPECT_EQ(readFile(dir.file("config.ini")),
            "[TForm1]\r\nFlags=0\r\nShowCmd=3\r\nPixelsPerInch=120\r\nMinMaxPos=-1,-1,-1,-1\r\n"
            "NormPos=10,20,650,500\r\nVisible=0\r\nFormVersion=2\r\nDirListBox_Width=180\r\n"
            "FileListBox_Mask=*.txt\r\n");

  const auto back = readFormPlacement(ini, "tform1", 2, {"FileListBox_Mask", "Missing_Key"});
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->showCmd, FormPlacement::Maximised);
  EXPECT_EQ(back->pixelsPerInch, 120);
  ASSERT_TRUE(back->normal.has_value());
  EXPECT_EQ(back->normal->width(), 640);
  EXPECT_EQ(back->normal->height(), 480);
  EXPECT_FALSE(back->visible);
  // Only asked-for properties that the section holds come back.
  ASSERT_EQ(back->properties.size(), 1u);
  EXPECT_EQ(back->properties[0].first, "FileListBox_Mask");
  EXPECT_EQ(back->properties[0].second, "*.txt");
}

TEST(FormPlacementFile, MissingOutdatedOrGarbledSections) {
  TempFolder dir;
  writeFile(dir.file("config.ini"),
            "[Old]\r\nFormVersion=1\r\nNormPos=1,2,3,4\r\n"
            "[Garbled]\r\nNormPos=1,2,three,4\r\nShowCmd=x\r\n");
  TIniFile ini(dir.file("config.ini"));
  EXPECT_FALSE(readFormPlacement(ini, "Nowhere", 0, {}).has_value());
  EXPECT_FALSE(readFormPlacement(ini, "Old", 2, {}).has_value());
  EXPECT_TRUE(readFormPlacement(ini, "Old", 1, {}).has_value());
  const auto garbled = readFormPlacement(ini, "Garbled", 0, {});
  ASSERT_TRUE(garbled.has_value());
  EXPECT_FALSE(garbled->normal.has_value());
  EXPECT_EQ(garbled->showCmd, FormPlacement::Normal);
}

}  // namespace
}  // namespace pagora
