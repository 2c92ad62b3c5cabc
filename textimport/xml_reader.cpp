// Expat with the encodings and entities that Russian FB2 and EPUB files use in practice.
#include "textimport/xml_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "text/recode.h"
#include "textimport/book_import.h"
#include "textimport/html_entities.h"

namespace pagora::book_import {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

char32_t decodeOne(std::string_view utf8) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (utf8.size() == 1) return s[0];
  if (utf8.size() == 2) return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
  if (utf8.size() == 3) return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
  return 0xFFFD;
}

// Byte -> code point of an 8-bit Cyrillic code page, by way of its 1251 form.
bool cyrillicMap(const std::string& name, int map[256]) {
  std::string (*toWin)(std::string_view) = nullptr;
  if (name == "windows-1251" || name == "cp1251" || name == "x-cp1251" || name == "win-1251") {
  } else if (name == "koi8-r" || name == "koi8r") {
    toWin = &KoiToWin;
  } else if (name == "ibm866" || name == "cp866" || name == "866" || name == "dos-866") {
    toWin = &DosToWin;
  } else {
    return false;
  }
  for (int b = 0; b < 256; ++b) {
    if (b < 0x80) {
      map[b] = b;
      continue;
    }
    std::string one(1, static_cast<char>(b));
    if (toWin) one = toWin(one);
    map[b] = static_cast<int>(decodeOne(winToUtf8(one)));
  }
  return true;
}

}  // namespace

std::string_view localName(const char* name) {
  std::string_view s(name);
  const auto colon = s.rfind(':');
  return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

const char* attribute(const char** atts, std::string_view local) {
  for (; atts && atts[0]; atts += 2)
    if (localName(atts[0]) == local) return atts[1];
  return nullptr;
}

XmlReader::XmlReader(XmlHandler& handler, std::string file, std::string member)
    : parser_(XML_ParserCreate(nullptr)),
      handler_(handler),
      file_(std::move(file)),
      member_(std::move(member)) {
  if (!parser_) throw std::bad_alloc();
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &onStart, &onEnd);
  XML_SetCharacterDataHandler(parser_, &onChars);
  XML_SetSkippedEntityHandler(parser_, &onSkippedEntity);
  XML_SetUnknownEncodingHandler(parser_, &onUnknownEncoding, this);
}

XmlReader::~XmlReader() {
  XML_ParserFree(parser_);
}

void XmlReader::raise(const std::string& problem) const {
  throw EBookImport(file_ + ": " + problem);
}

void XmlReader::caught() {
  if (!thrown_) thrown_ = std::current_exception();
  XML_StopParser(parser_, XML_FALSE);
}

void XmlReader::fail(std::string problem) {
  if (failure_.empty()) failure_ = std::move(problem);
  XML_StopParser(parser_, XML_FALSE);
}

void XmlReader::feed(std::string_view data, bool last) {
  do {
    // Expat takes an int length: large buffers go in pieces.
    const std::size_t piece = std::min<std::size_t>(data.size(), 1u << 24);
    const bool final = last && piece == data.size();
    const XML_Status status =
        XML_Parse(parser_, data.data(), static_cast<int>(piece), final ? XML_TRUE : XML_FALSE);
    data.remove_prefix(piece);
    if (status == XML_STATUS_OK) continue;
    if (thrown_) std::rethrow_exception(thrown_);
    if (!failure_.empty()) raise(failure_);
    const XML_Error code = XML_GetErrorCode(parser_);
    if (code == XML_ERROR_UNKNOWN_ENCODING || code == XML_ERROR_INCORRECT_ENCODING)
      raise("unsupported encoding \"" + unknownEncoding_ + "\"" +
            (member_.empty() ? "" : " in " + member_));
    raise("broken XML" + (member_.empty() ? std::string() : " in " + member_) + " at line " +
          std::to_string(XML_GetCurrentLineNumber(parser_)) + ", column " +
          std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) + ": " + XML_ErrorString(code));
  } while (!data.empty());
}

void XmlReader::onStart(void* self, const XML_Char* name, const XML_Char** atts) {
  auto& r = *static_cast<XmlReader*>(self);
  try {
    r.handler_.start(localName(name), atts);
  } catch (...) {
    r.caught();
  }
}

void XmlReader::onEnd(void* self, const XML_Char* name) {
  auto& r = *static_cast<XmlReader*>(self);
  try {
    r.handler_.end(localName(name));
  } catch (...) {
    r.caught();
  }
}

void XmlReader::onChars(void* self, const XML_Char* text, int length) {
  auto& r = *static_cast<XmlReader*>(self);
  try {
    r.handler_.chars(std::string_view(text, static_cast<std::size_t>(length)));
  } catch (...) {
    r.caught();
  }
}

void XmlReader::onSkippedEntity(void* self, const XML_Char* name, int isParameter) {
  if (isParameter) return;
  auto& r = *static_cast<XmlReader*>(self);
  // XHTML chapters use HTML's named characters without declaring them.
  if (const std::string_view text = namedCharacter(name); !text.empty()) {
    try {
      r.handler_.chars(text);
    } catch (...) {
      r.caught();
    }
    return;
  }
  // An entity nobody defined is an error, not silently lost text.
  r.fail(std::string("broken XML") + (r.member_.empty() ? "" : " in " + r.member_) + " at line " +
         std::to_string(XML_GetCurrentLineNumber(r.parser_)) + ", column " +
         std::to_string(XML_GetCurrentColumnNumber(r.parser_) + 1) + ": undefined entity &" + name +
         ";");
}

int XmlReader::onUnknownEncoding(void* self, const XML_Char* name, XML_Encoding* info) {
  auto& r = *static_cast<XmlReader*>(self);
  r.unknownEncoding_ = name;
  if (!cyrillicMap(lower(name), info->map)) return XML_STATUS_ERROR;
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

}  // namespace pagora::book_import
