// "Create file from clipboard": where the file goes and what it holds.
#include "text/clipboard_file.h"

#include "temp_folder.h"
#include "text/text_buffer.h"

namespace pagora {
namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(ClipboardFile, Path) {
  EXPECT_EQ(clipboardFilePath("/books", "new.txt"), "/books/new.txt");
  EXPECT_EQ(clipboardFilePath("/books/", "new"), "/books/new");
  EXPECT_EQ(clipboardFilePath("/books", "/tmp/x.txt"), "/tmp/x.txt");
  EXPECT_EQ(clipboardFilePath("/books", "sub/x.txt"), "sub/x.txt");
  EXPECT_EQ(clipboardFilePath("", "x"), "x");
}

TEST(ClipboardFile, WritesLinesWithCrLfAndReplaces) {
  TempFolder dir;
  const std::string file = dir / "clip.txt";
  writeFile(file, "old contents that are longer");
  writeClipboardFile(file, "a\rb\nc\r\n\r\nd");
  EXPECT_EQ(readFile(file), "a\r\nb\r\nc\r\n\r\nd\r\n");
  writeClipboardFile(file, "");
  EXPECT_EQ(readFile(file), "");
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_THROW(writeClipboardFile(dir / "no/such/clip.txt", "x"), ETextFileError);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"clip.txt"});
}

}  // namespace
}  // namespace pagora
