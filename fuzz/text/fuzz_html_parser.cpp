// Feeds arbitrary bytes to THTMLParser (as lines) and to Delete HTML tags twice with one parser,
// so that the title state carried between runs is exercised too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/html_parser.h"
#include "text/text_buffer.h"
#include "text/text_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  pagora::THTMLParser parser;
  std::size_t events = 0;
  parser.OnFoundText = [&](const std::string& s) { events += s.size(); };
  parser.OnFoundTag = [&](const std::string& s) { events += s.size(); };
  parser.OnFoundComment = [&](const std::string& s) { events += s.size(); };
  parser.OnFoundHyperlink = [&](const std::string& s) { events += s.size(); };
  parser.OnParsing = [&](int line, int total) {
    if (line < 1 || line > total) __builtin_trap();
  };
  parser.setHTML(pagora::splitLines(bytes));
  parser.Execute();

  pagora::TextBuffer lines = pagora::splitLines(bytes);
  pagora::deleteHtmlTags(lines, parser);
  if (lines.empty()) __builtin_trap();  // at least the "empty" line
  pagora::TextBuffer again = pagora::splitLines(bytes);
  pagora::deleteHtmlTags(again, parser);
  pagora::oneParagraphOneLine(again);
  pagora::collapseSpaces(again);
  return 0;
}
