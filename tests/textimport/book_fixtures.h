// Small books written by the tests themselves: FB2 documents, zip archives and EPUB packages.
#pragma once

#include <zip.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "temp_folder.h"
#include "text/recode.h"

namespace pagora::testing_books {

// The 1251 form of UTF-8 test text (expected lines are written readably in the source).
inline std::string win(const std::string& utf8) {
  return utf8ToWin(utf8);
}

inline std::vector<std::string> win(const std::vector<std::string>& utf8) {
  std::vector<std::string> out;
  for (const auto& s : utf8) out.push_back(win(s));
  return out;
}

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

using Members = std::vector<std::pair<std::string, std::string>>;

// A zip archive holding the members in the given order, deflated (or stored).
inline std::string makeZip(const Members& members, bool store = false, int level = 0) {
  const TempFolder folder("zip_");
  const std::string path = folder / "made.zip";
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) throw std::runtime_error("zip_open failed");
  for (const auto& [name, data] : members) {
    zip_source_t* s = zip_source_buffer(z, data.data(), data.size(), 0);
    const zip_int64_t index = zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip_file_add failed");
    zip_set_file_compression(z, static_cast<zip_uint64_t>(index),
                             store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                             static_cast<zip_uint32_t>(level));
  }
  if (zip_close(z) != 0) throw std::runtime_error("zip_close failed");
  return readFile(path);
}

// An FB2 document: the description with one title and the given authors' XML, then `bodies`.
inline std::string fb2(
    const std::string& bodies, const std::string& title = "Тихий дом",
    const std::string& authors =
        "<author><first-name>Анна</first-name><last-name>Полева</last-name>"
        "</author>",
    const std::string& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") {
  return declaration +
         "\n<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
         "xmlns:l=\"http://www.w3.org/1999/xlink\">\n<description><title-info>"
         "<genre>prose</genre>" +
         authors + "<book-title>" + title +
         "</book-title><lang>ru</lang></title-info>"
         "<document-info><author><nickname>maker</nickname></author></document-info>"
         "</description>\n" +
         bodies + "\n</FictionBook>\n";
}

// The members of an EPUB: mimetype, container, package document and the given chapters (name,
// XHTML) listed in the manifest in the given order; `spine` lists manifest ids in reading order.
inline std::string xhtml(const std::string& body, const std::string& doctype = "") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + doctype +
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
         "<head><title>Глава</title><style>p { margin: 0 }</style></head><body>" +
         body + "</body></html>";
}

inline Members epub(const Members& chapters, const std::string& spine,
                    const std::string& metadata =
                        "<dc:title>Речная книга</dc:title><dc:creator>Олег Бродов</dc:creator>"
                        "<dc:creator>Ирина Бродова</dc:creator>",
                    const std::string& extraManifest = "") {
  std::string manifest;
  int n = 0;
  for (const auto& [name, xhtml] : chapters)
    manifest += "<item id=\"c" + std::to_string(++n) + "\" href=\"" + name +
                "\" media-type=\"application/xhtml+xml\"/>";
  Members members{
      {"mimetype", "application/epub+zip"},
      {"META-INF/container.xml",
       "<?xml version=\"1.0\"?><container version=\"1.0\" "
       "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
       "<rootfile full-path=\"OEBPS/content.opf\" "
       "media-type=\"application/oebps-package+xml\"/></rootfiles></container>"},
      {"OEBPS/content.opf",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
       "version=\"3.0\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" +
           metadata + "</metadata><manifest>" + manifest + extraManifest + "</manifest><spine>" +
           spine + "</spine></package>"}};
  for (const auto& [name, xhtml] : chapters) members.push_back({"OEBPS/" + name, xhtml});
  return members;
}

}  // namespace pagora::testing_books
