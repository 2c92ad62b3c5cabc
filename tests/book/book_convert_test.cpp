// pagora-cli book build converts each text to code page 1251 as it packs it and leaves every
// other file alone; the archive is read back with bsdtar, the expected bytes come from iconv.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string runShell(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

// "Всё её: ёлка стоит в лесу, и поёт" in 1251 (iconv -t cp1251), one line with CR LF.
const std::string kWin =
    "\xC2\xF1\xB8 \xE5\xB8: \xB8\xEB\xEA\xE0 \xF1\xF2\xEE\xE8\xF2 \xE2 \xEB\xE5\xF1\xF3, \xE8 "
    "\xEF\xEE\xB8\xF2";

// Three paragraphs hard-wrapped with an indent, and the same paragraphs one a line.
const std::string kWrapped =
    "  \xD0\xE5\xEA\xE0 \xF2\xE5\xEA\xEB\xE0 \xEC\xE5\xE4\xEB\xE5\xED\xED\xEE "
    "\xEC\xE8\xEC\xEE \xF1\xF2\xE0\xF0\xEE\xE9 \xEC\xE5\xEB\xFC\xED\xE8\xF6\xFB, "
    "\xE8 \xEA\xEE\xEB\xE5\xF1\xEE \xE2\xE5\xF0\xF2\xE5\xEB\xEE\xF1\xFC\n"
    "\xE1\xE5\xE7 \xEA\xEE\xED\xF6\xE0, \xF5\xEE\xF2\xFF \xEC\xE5\xEB\xFC\xED\xE8\xEA "
    "\xE4\xE0\xE2\xED\xEE \xF3\xE6\xE5 \xED\xE5 \xEC\xEE\xEB\xEE\xEB "
    "\xE7\xE4\xE5\xF1\xFC \xE7\xE5\xF0\xED\xE0.\n"
    "  \xD3\xF2\xF0\xEE\xEC \xF2\xF3\xEC\xE0\xED \xEF\xEE\xE4\xED\xFF\xEB\xF1\xFF "
    "\xED\xE0\xE4 \xEF\xEE\xEB\xFF\xEC\xE8, \xE8 \xF1\xF2\xE0\xEB\xEE "
    "\xF1\xE2\xE5\xF2\xEB\xEE \xE8 \xF2\xE8\xF5\xEE, \xF2\xEE\xEB\xFC\xEA\xEE\n"
    "\xE3\xE4\xE5-\xF2\xEE \xE7\xE0 \xEB\xE5\xF1\xEE\xEC \xEA\xF0\xE8\xF7\xE0\xEB\xE8 "
    "\xEF\xF2\xE8\xF6\xFB \xE8 \xF1\xEA\xF0\xE8\xEF\xE5\xEB\xE0 "
    "\xF2\xE5\xEB\xE5\xE3\xE0.\n"
    "  \xC2\xE5\xF7\xE5\xF0\xEE\xEC \xEF\xF0\xE8\xF8\xEB\xE8 \xE3\xEE\xF1\xF2\xE8 "
    "\xE8\xE7 \xF1\xEE\xF1\xE5\xE4\xED\xE5\xE9 \xE4\xE5\xF0\xE5\xE2\xED\xE8, "
    "\xF1\xE5\xEB\xE8 \xE7\xE0 \xF1\xF2\xEE\xEB \xE8 \xE4\xEE\xEB\xE3\xEE\n"
    "\xE3\xEE\xE2\xEE\xF0\xE8\xEB\xE8 \xEE \xE4\xEE\xE6\xE4\xE5.\n";
// Each paragraph joined at its line ends, starting with one space, CR LF after it.
std::string paragraphs(const std::string& wrapped) {
  std::string out;
  for (std::size_t at = 0; at < wrapped.size();) {
    const std::size_t end = wrapped.find('\n', at);
    const std::string line = wrapped.substr(at, end - at);
    at = end + 1;
    if (line.rfind("  ", 0) == 0) {
      if (!out.empty()) out += "\r\n";
      out += line.substr(1);
    } else {
      out += " " + line;
    }
  }
  return out + "\r\n";
}
const std::string kTidied = paragraphs(kWrapped);
// 1251 -> UTF-8 by iconv, the peer.
std::string utf8(const std::string& win) {
  pagora::testing_support::TempFolder temp("book_convert_utf8_");
  std::ofstream(temp.path() / "in", std::ios::binary) << win;
  std::string out;
  FILE* pipe =
      ::popen(("iconv -f cp1251 -t utf-8 '" + (temp.path() / "in").string() + "'").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

TEST(BookConvert, EachTextIsConvertedOrStoredByteForByte) {
  struct Row {
    const char* name;
    std::string bytes;
    const char* options;
    std::string stored;  // the member as bsdtar reads it back
    const char* line;    // what pagora-cli says about the file, "" for nothing
  } rows[] = {
      {"utf8.txt",
       "\xD0\x92\xD1\x81\xD1\x91 \xD0\xB5\xD1\x91: \xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0 "
       "\xD1\x81\xD1\x82\xD0\xBE\xD0\xB8\xD1\x82 \xD0\xB2 \xD0\xBB\xD0\xB5\xD1\x81\xD1\x83, "
       "\xD0\xB8 \xD0\xBF\xD0\xBE\xD1\x91\xD1\x82\n",
       "", kWin + "\r\n", "utf8.txt: UTF-8 -> 1251\n"},
      {"left.txt",
       "\xD0\x92\xD1\x81\xD1\x91 \xD0\xB5\xD1\x91: \xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0 "
       "\xD1\x81\xD1\x82\xD0\xBE\xD0\xB8\xD1\x82 \xD0\xB2 \xD0\xBB\xD0\xB5\xD1\x81\xD1\x83, "
       "\xD0\xB8 \xD0\xBF\xD0\xBE\xD1\x91\xD1\x82 \xE6\x97\xA5",
       "", kWin + " ?\r\n",
       "left.txt: UTF-8 -> 1251\nleft.txt: 1 character has no equivalent in code page 1251\n"},
      {"koi.txt",
       "\xF7\xD3\xA3 \xC5\xA3: \xA3\xCC\xCB\xC1 \xD3\xD4\xCF\xC9\xD4 \xD7 \xCC\xC5\xD3\xD5, \xC9 "
       "\xD0\xCF\xA3\xD4\r",
       "", kWin + "\r\n", "koi.txt: KOI8-R -> 1251\n"},
      {"dos.txt",
       "\x82\xE1\xF1 \xA5\xF1: \xF1\xAB\xAA\xA0 \xE1\xE2\xAE\xA8\xE2 \xA2 \xAB\xA5\xE1\xE3, \xA8 "
       "\xAF\xAE\xF1\xE2",
       "", kWin + "\r\n", "dos.txt: 866 -> 1251\n"},
      {"win.txt", kWin + "\n", "", kWin + "\n", ""},
      {"picture.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), "",
       std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), ""},
      {"two.txt", "ok \xE5\xE3\xEE", "", "ok \xE5\xE3\xEE",
       "two.txt: code page unsure (cp1251, confidence 0.89), stored as it is; convert it with "
       "pagora-cli text recode --from\n"},
      {"asis.txt", "\xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0\n", "--as-is ",
       "\xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0\n", ""},
      // Hard-wrapped with indented paragraphs: one line a paragraph in the book, CR LF.
      {"wrapped.txt", kWrapped, "--tidy ", kTidied, "wrapped.txt: tidied (indent)\n"},
      {"wrapped8.txt", utf8(kWrapped), "--tidy ", kTidied,
       "wrapped8.txt: UTF-8 -> 1251\nwrapped8.txt: tidied (indent)\n"},
  };
  pagora::testing_support::TempFolder temp("book_convert_");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path file = temp.path() / row.name;
    std::ofstream(file, std::ios::binary) << row.bytes;
    const std::string out =
        runShell("cd '" + temp.path().string() + "' && '" PAGORA_CLI "' book build " + row.options +
                 "book " + row.name + " 2>&1");
    const std::string said = out.substr(0, out.find("added "));
    EXPECT_EQ(said, row.line);
    EXPECT_EQ(runShell("bsdtar -xOf '" + (temp.path() / "book.lzh").string() + "' " + row.name),
              row.stored);
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.bytes) << "file changed";
  }
}

}  // namespace

namespace {

// The corpus slices in every encoding make one book: each member reads back as the cp1251 slice,
// except where a slice could not hold a character. KOI8-R and 866 lack the dash, the quotes and
// the ellipsis (their slices hold "?" there), and the cp1251 slice, made with iconv, has "?" for
// the UTF-8 slice's two stressed "á" in Russian words ("Домá"), which the build makes "а".
TEST(BookConvert, TheCorpusSlicesMakeOneBookInCodePage1251) {
  const std::string corpus = std::string(PAGORA_SOURCE_DIR) + "/tests/data/corpus/";
  std::ifstream in(corpus + "anna-karenina.cp1251.txt", std::ios::binary);
  const std::string win(std::istreambuf_iterator<char>(in), {});
  pagora::testing_support::TempFolder temp("book_corpus_");
  const std::string book = (temp.path() / "anna").string();
  std::string files;
  for (const char* page : {"utf8", "koi8r", "cp866", "cp1251"}) {
    files += " '" + corpus + "anna-karenina." + page + ".txt'";
  }
  runShell("'" PAGORA_CLI "' book build '" + book + "'" + files + " > /dev/null 2>&1");
  struct Row {
    const char* page;
    char member, slice;  // the only difference allowed: the member's byte, the slice's ('\0': any)
    int count;           // how many, -1 for any number
  } rows[] = {{"utf8", '\xE0', '?', 2},
              {"koi8r", '?', '\0', -1},
              {"cp866", '?', '\0', -1},
              {"cp1251", '\0', '\0', 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.page);
    const std::string member =
        runShell("bsdtar -xOf '" + book + ".lzh' anna-karenina." + row.page + ".txt");
    ASSERT_EQ(member.size(), win.size());
    int differences = 0;
    for (std::size_t i = 0; i < win.size(); ++i) {
      if (member[i] == win[i]) continue;
      EXPECT_TRUE(member[i] == row.member && (row.slice == '\0' || win[i] == row.slice))
          << "at byte " << i;
      ++differences;
    }
    if (row.count >= 0) {
      EXPECT_EQ(differences, row.count);
    }
  }
}

}  // namespace
