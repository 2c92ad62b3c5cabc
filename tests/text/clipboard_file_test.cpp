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
  EXPECT_EQ(ClipboardFilePath("/books", "new.txt"), "/books/new.txt");
  EXPECT_EQ(ClipboardFilePath("/books/", "new"), "/books/new");
  EXPECT_EQ(ClipboardFilePath("/books", "/tmp/x.txt"), "/tmp/x.txt");
  EXPECT_EQ(ClipboardFilePath("/books", "sub/x.txt"), "sub/x.txt");
  EXPECT_EQ(ClipboardFilePath("", "x"), "x");
}

TEST(ClipboardFile, WritesLinesWithCrLfAndReplaces) {
  TempFolder dir;
  const std::string file = dir / "clip.txt";
  writeFile(file, "old contents that are longer");
  WriteClipboardFile(file, "a\rb\nc\r\n\r\nd");
  EXPECT_EQ(readFile(file), "a\r\nb\r\nc\r\n\r\nd\r\n");
  WriteClipboardFile(file, "");
  EXPECT_EQ(readFile(file), "");
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_THROW(WriteClipboardFile(dir / "no/such/clip.txt", "x"), ETextFileError);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"clip.txt"});
}

}  // namespace
}  // namespace pagora
