// Tidy on texts laid out the ways readers find them: one rule a fixture, in UTF-8 and in code
// page 1251; then the corpus slice wrapped here in every layout against its own paragraphs.
#include "text/tidy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>

#include "temp_folder.h"
#include "text/recode.h"

namespace pagora {
namespace {

const std::string kPara[] = {"    Вечер опускался на реку медленно, как будто не хотел",
                             "мешать рыбакам, которые ещё сидели у самой воды, и",
                             "над лугом стоял лёгкий туман, а где-то за холмом", "лаяла собака."};
const std::string kJoined =
    " Вечер опускался на реку медленно, как будто не хотел мешать рыбакам, которые ещё сидели у "
    "самой воды, и над лугом стоял лёгкий туман, а где-то за холмом лаяла собака.";

// Three pages of six lines, two of them breaking a paragraph; `head` starts a page and numbers
// end it.
std::string paged(const std::string& head, bool numbers) {
  std::string text;
  for (int page = 0; page < 3; ++page) {
    if (!head.empty()) text += head + "\n\n";
    for (int i = 0; i < 6; ++i) text += kPara[(page * 6 + i) % 4] + "\n";
    if (numbers) text += "\n- " + std::to_string(page + 1) + " -\n\n";
  }
  return text + kPara[2] + "\n" + kPara[3] + "\n";
}
const std::string kFive =
    kJoined + "\n" + kJoined + "\n" + kJoined + "\n" + kJoined + "\n" + kJoined + "\n";

const std::string kRiver =
    " Вечер опускался на реку медленно, как будто не хотел мешать рыбакам.\n"
    " Старый паромщик Ефим смотрел на тёмную воду и думал о том, что завтра пойдёт дождь.\n"
    " Он всегда узнавал погоду по тому, как пахнет ветер над лугом.\n";

TEST(Tidy, EachLayoutAndRule) {
  const struct {
    const char* what;
    std::string in;
    TidyLayout layout;
    bool keepHyphens;
    std::string out;
  } cases[] = {
      {"one paragraph a line, headings stacked: left as it is",
       "Глава первая\nВечер опускался на реку медленно, как будто не хотел мешать рыбакам, "
       "которые ещё сидели у воды.\nСтарый паромщик Ефим смотрел на воду.\n",
       TidyLayout::Auto, false, ""},
      {"indented paragraphs",
       "  Вечер опускался на реку медленно, как будто не хотел\nмешать рыбакам.\n  Старый "
       "паромщик Ефим смотрел на тёмную воду и думал о\nтом, что завтра пойдёт дождь.\n  Он "
       "всегда узнавал погоду по тому, как пахнет ветер\nнад лугом.\n",
       TidyLayout::Auto, false, kRiver},
      {"blank lines between paragraphs",
       "Вечер опускался на реку медленно, как будто не хотел\nмешать рыбакам.\n\nСтарый "
       "паромщик Ефим смотрел на тёмную воду и думал о\nтом, что завтра пойдёт дождь.\n\nОн "
       "всегда узнавал погоду по тому, как пахнет ветер\nнад лугом.\n",
       TidyLayout::Auto, false, kRiver},
      {"width only, justified with padding",
       "Вечер  опускался  на  реку  медленно, как будто не хотел\nмешать рыбакам.\nСтарый  "
       "паромщик Ефим смотрел на тёмную воду и думал о\nтом, что завтра пойдёт дождь.\nОн  "
       "всегда  узнавал  погоду  по  тому, как пахнет ветер\nнад лугом.\n",
       TidyLayout::Auto, false, kRiver},
      {"a cut word the text writes with its hyphen keeps it, others join",
       "Ветер дул с северо-запада.\n\nЕфим ждал, когда ветер с северо-\nзапада стихнет и "
       "начнётся пере-\nправа через реку к лугу.\n",
       TidyLayout::Blank, false,
       " Ветер дул с северо-запада.\n Ефим ждал, когда ветер с северо-запада стихнет и "
       "начнётся переправа через реку к лугу.\n"},
      {"--keep-hyphens", "Начнётся пере-\nправа через реку к лугу.\n", TidyLayout::Blank, true,
       " Начнётся пере-права через реку к лугу.\n"},
      {"a dash at a line end is no hyphen",
       "Ефим поднял вёсла и сказал —\nтак, чтобы слышал весь берег, –\nчто пора домой. Аня "
       "кивнула --\nи побежала вперёд, а собака -\nза ней.\n",
       TidyLayout::Blank, false,
       " Ефим поднял вёсла и сказал — так, чтобы слышал весь берег, – что пора домой. Аня "
       "кивнула -- и побежала вперёд, а собака - за ней.\n"},
      {"a head on every page", paged("Осенний вечер", false), TidyLayout::Auto, false, kFive},
      {"page numbers inside paragraphs", paged("", true), TidyLayout::Auto, false, kFive},
      {"verse stays in lines",
       "Аня читала вслух, и дед слушал, не перебивая её ни разу:\n\n    Тихо плещется "
       "река,\n    Светит месяц с высоты,\n    Дремлют в поле облака.\n\nА потом он сказал, "
       "что стихи хорошие, только грустные.\n",
       TidyLayout::Blank, false,
       " Аня читала вслух, и дед слушал, не перебивая её ни разу:\n\n Тихо плещется река,\n "
       "Светит месяц с высоты,\n Дремлют в поле облака.\n\n А потом он сказал, что стихи "
       "хорошие, только грустные.\n"},
      {"a scene break stays",
       "Ефим поднял вёсла, и лодка тихо пошла к берегу, где уже\nгорели огни.\n* * *\nУтром "
       "пошёл дождь, и над рекой повис густой серый туман,\nа паромщик сидел у окна.\n",
       TidyLayout::Width, false,
       " Ефим поднял вёсла, и лодка тихо пошла к берегу, где уже горели огни.\n * * *\n Утром "
       "пошёл дождь, и над рекой повис густой серый туман, а паромщик сидел у окна.\n"},
  };
  for (const auto& c : cases) {
    TidyOptions options;
    options.layout = c.layout;
    options.keepHyphens = c.keepHyphens;
    const std::string want = c.out.empty() ? c.in : c.out;
    EXPECT_EQ(tidyBytes(c.in, options), want) << c.what;
    EXPECT_EQ(winToUtf8(tidyBytes(utf8ToWin(c.in), options)), want) << c.what << " (cp1251)";
  }
}

#ifndef _WIN32
TEST(Tidy, CommandKeepsLineEndsAndLeavesTidyFilesAlone) {
  const std::string cli = std::string(PAGORA_BINARY_DIR) + "/cli/pagora-cli";
  if (!std::filesystem::exists(cli)) GTEST_SKIP() << "pagora-cli not built";
  const std::string wrapped =
      "Вечер опускался на реку медленно, как будто не хотел\nмешать рыбакам.\n\nСтарый "
      "паромщик Ефим смотрел на тёмную воду и думал о\nтом, что завтра пойдёт дождь.\n\nОн "
      "всегда узнавал погоду по тому, как пахнет ветер\nнад лугом.";
  auto crlf = [](const std::string& s) {
    std::string out;
    for (const char c : s) (c == '\n' ? out += "\r\n" : out += c);
    return out;
  };
  const struct {
    const char* what;
    std::string arguments, in;
    int status;
    std::string after;  // empty: the file keeps its bytes and is not written
  } cases[] = {
      {"LF, no line end after the last line", "", wrapped, 0, kRiver.substr(0, kRiver.size() - 1)},
      {"CR LF", "", crlf(wrapped + "\n"), 0, crlf(kRiver)},
      {"tidy already", "", kRiver, 0, ""},
      {"one paragraph a line by choice", "--layout lines", wrapped, 0, ""},
      {"-o with two inputs", "-o out.txt in.txt", wrapped, 2, ""},
  };
  for (const auto& c : cases) {
    testing_support::TempFolder dir;
    const std::string in = dir.write("in.txt", c.in);
    struct stat before {};
    ::stat(in.c_str(), &before);
    const std::string command = "cd " + dir.path().string() + " && " + cli + " text tidy " +
                                c.arguments + " in.txt >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.what;
    EXPECT_EQ(testing_support::readFile(in), c.after.empty() ? c.in : c.after) << c.what;
    struct stat after {};
    ::stat(in.c_str(), &after);
    if (c.after.empty()) {
      EXPECT_EQ(after.st_ino, before.st_ino) << c.what << ": written again";
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt")) << c.what;
  }
}

#endif

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The slice (code page 1251) wrapped at 70 columns, greedily, as a reader's text comes: with the
// first line of a paragraph indented, with blank lines between, with padding, with words cut at
// line ends and pages with a running head and a number, or with nothing but the width.
std::string wrapped(const std::vector<std::vector<std::string>>& paragraphs,
                    const std::string& layout) {
  const std::size_t width = 70;
  const bool cut = layout == "cut";
  auto letter = [](char c) { return static_cast<unsigned char>(c) >= 0xC0; };
  // Spaces spread over the gaps from the left until the line is full.
  auto pad = [&](const std::string& l) {
    const std::vector<std::string> w = words(l);
    if (layout != "justified" || w.size() < 2) return l;
    const std::size_t gaps = w.size() - 1, extra = width - l.size();
    std::string out = w[0];
    for (std::size_t i = 1; i < w.size(); ++i)
      out.append(1 + extra / gaps + (i - 1 < extra % gaps), ' ').append(w[i]);
    return out;
  };
  std::vector<std::string> lines;
  for (const auto& words : paragraphs) {
    if (layout == "blank" || cut) lines.emplace_back();
    std::string line = layout == "indent" || cut ? "   " : "";
    for (std::string w : words) {
      const bool started = line.find_first_not_of(' ') != std::string::npos;
      if (started && line.size() + 1 + w.size() > width) {
        const std::size_t room = width - line.size() - 2;  // a space and the hyphen
        if (cut && room >= 3 && w.size() >= room + 3 && letter(w[room - 1]) && letter(w[room])) {
          lines.push_back(line + " " + w.substr(0, room) + "-");
          w.erase(0, room);
        } else {
          lines.push_back(pad(line));
        }
        line.clear();
      }
      line += (line.find_first_not_of(' ') == std::string::npos ? "" : " ") + w;
    }
    lines.push_back(line);
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (cut && i % 40 == 0) text += utf8ToWin("Анна Каренина\n\n");
    text += lines[i] + "\n";
    if (cut && i % 40 == 39) text.append("\n").append(std::to_string(i / 40 + 1)).append("\n\n");
  }
  return text;
}

TEST(Tidy, CorpusSliceComesBackParagraphByParagraph) {
  const std::string slice = testing_support::readFile(
      std::string(PAGORA_SOURCE_DIR) + "/tests/data/corpus/anna-karenina.cp1251.txt");
  std::vector<std::vector<std::string>> paragraphs;
  for (const std::string& line : splitLines(slice))
    if (!words(line).empty()) paragraphs.push_back(words(line));
  for (const bool utf8 : {false, true}) {
    for (const char* layout : {"indent", "blank", "justified", "cut", "width"}) {
      const std::string text = wrapped(paragraphs, layout);
      std::set<std::vector<std::string>> out;
      for (const std::string& line : splitLines(tidyBytes(utf8 ? winToUtf8(text) : text)))
        out.insert(words(utf8 ? utf8ToWin(line) : line));
      std::size_t whole = 0;
      for (const auto& p : paragraphs) whole += out.count(p);
      const double share = static_cast<double>(whole) / static_cast<double>(paragraphs.size());
      EXPECT_GE(share, std::string(layout) == "width" ? 0.90 : 0.98)
          << layout << (utf8 ? " utf8" : " cp1251");
    }
  }
}

}  // namespace
}  // namespace pagora
