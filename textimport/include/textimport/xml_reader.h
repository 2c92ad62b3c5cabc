// An expat parser fed in chunks, with the 8-bit Russian encodings that books declare, HTML's
// named characters where a document leaves them undefined, and failures that name the file.
#pragma once

#include <expat.h>

#include <exception>
#include <string>
#include <string_view>

namespace pagora::book_import {

// Element and attribute names without their namespace prefix ("l:href" -> "href").
std::string_view localName(const char* name);
// The value of the attribute with this local name, or nullptr.
const char* attribute(const char** atts, std::string_view local);

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void start(std::string_view name, const char** atts) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void chars(std::string_view utf8) = 0;
};

class XmlReader {
 public:
  // `file` is the book's path, `member` the file inside a zip archive ("" for a plain file);
  // both appear in messages.
  XmlReader(XmlHandler& handler, std::string file, std::string member);
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Parses the next piece of the document; raises EBookImport on broken XML, on an encoding it
  // cannot read, or when a handler called fail().
  void feed(std::string_view data, bool last);
  // Stops the parse; the current or next feed() raises EBookImport with this text.
  void fail(std::string problem);

 private:
  static void onStart(void* self, const XML_Char* name, const XML_Char** atts);
  static void onEnd(void* self, const XML_Char* name);
  static void onChars(void* self, const XML_Char* text, int length);
  static void onSkippedEntity(void* self, const XML_Char* name, int isParameter);
  static int onUnknownEncoding(void* self, const XML_Char* name, XML_Encoding* info);
  void caught();
  [[noreturn]] void raise(const std::string& problem) const;

  XML_Parser parser_;
  XmlHandler& handler_;
  std::string file_;
  std::string member_;
  std::string failure_;
  std::string unknownEncoding_;
  std::exception_ptr thrown_;
};

}  // namespace pagora::book_import
