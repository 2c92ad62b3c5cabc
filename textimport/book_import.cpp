// The importer's front: choosing the reader by the file's name and feeding it the bytes.
#include "textimport/book_import.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "textimport/readers.h"
#include "textimport/zip_book.h"

namespace pagora {

using book_import::ZipBook;

namespace {

std::string lowerName(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool endsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The length of the book extension at the end of the name, 0 when there is none.
std::size_t bookExtension(const std::string& path) {
  const std::string lower = lowerName(path);
  for (std::string_view ext : {".fb2.zip", ".fb2", ".epub", ".html", ".htm"})
    if (endsWith(lower, ext)) return ext.size();
  return 0;
}

[[noreturn]] void fail(const std::string& file, const std::string& problem) {
  throw EBookImport(file + ": " + problem);
}

std::vector<std::string> fb2FromZip(ZipBook& zip, const std::string& file, std::size_t* missing) {
  for (std::int64_t i = 0; i < zip.count(); ++i) {
    const std::string name = zip.name(i);
    if (!endsWith(lowerName(name), ".fb2")) continue;
    return book_import::readFb2(
        [&](const std::function<void(std::string_view, bool)>& consume) { zip.read(i, consume); },
        file, name, missing);
  }
  fail(file, "the zip archive holds no .fb2 book");
}

constexpr std::string_view kZipMagic("PK\x03\x04", 4);

std::string sizeText(std::uint64_t bytes) {
  return std::to_string(bytes >> 20) + " MB";
}

// The whole of a page that is not larger than a book member may be.
std::string readPage(std::FILE* in, const std::string& path, const struct stat& st) {
  if (static_cast<std::uint64_t>(st.st_size) > kMaxBookMemberSize)
    fail(path, "the page is larger than " + sizeText(kMaxBookMemberSize) + " (" +
                   sizeText(static_cast<std::uint64_t>(st.st_size)) + ")");
  std::string page;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0) {
      if (std::ferror(in)) fail(path, std::string("cannot read: ") + std::strerror(errno));
      return page;
    }
    // The file may have grown since it was measured.
    if (page.size() + n > kMaxBookMemberSize)
      fail(path, "the page is larger than " + sizeText(kMaxBookMemberSize));
    page.append(buffer.data(), n);
  }
}

}  // namespace

bool isImportableBook(const std::string& path) {
  return bookExtension(path) != 0;
}

bool isHtmlPage(const std::string& path) {
  const std::string lower = lowerName(path);
  return endsWith(lower, ".htm") || endsWith(lower, ".html");
}

std::string importedTextName(const std::string& path) {
  return path.substr(0, path.size() - bookExtension(path)) + ".txt";
}

std::vector<std::string> importFb2(std::string_view bytes, const std::string& name,
                                   std::size_t* missing) {
  if (bytes.substr(0, kZipMagic.size()) == kZipMagic) return importFb2Zip(bytes, name, missing);
  if (bytes.size() > kMaxBookMemberSize)
    fail(name, "the book is larger than " + sizeText(kMaxBookMemberSize));
  return book_import::readFb2(
      [&](const std::function<void(std::string_view, bool)>& consume) { consume(bytes, true); },
      name, "", missing);
}

std::vector<std::string> importFb2Zip(std::string_view bytes, const std::string& name,
                                      std::size_t* missing) {
  ZipBook zip(bytes, name);
  return fb2FromZip(zip, name, missing);
}

std::vector<std::string> importEpub(std::string_view bytes, const std::string& name,
                                    std::size_t* missing) {
  ZipBook zip(bytes, name);
  return book_import::readEpub(zip, name, missing);
}

std::vector<std::string> importHtml(std::string_view bytes, const std::string& name,
                                    std::size_t* missing) {
  if (bytes.size() > kMaxBookMemberSize)
    fail(name, "the page is larger than " + sizeText(kMaxBookMemberSize));
  return book_import::readHtmlPage(bytes, missing);
}

std::vector<std::string> importBook(const std::string& path, std::size_t* missing) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0)
    fail(path, std::string("cannot open: ") + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) fail(path, "cannot open: it is a folder");
  const std::string lower = lowerName(path);
  if (endsWith(lower, ".fb2.zip")) {
    ZipBook zip(path, path);
    return fb2FromZip(zip, path, missing);
  }
  if (endsWith(lower, ".epub")) {
    ZipBook zip(path, path);
    return book_import::readEpub(zip, path, missing);
  }
  const bool html = isHtmlPage(path);
  if (!html && !endsWith(lower, ".fb2"))
    fail(path, "not an FB2 or EPUB book or an HTML page (unknown file name extension)");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) fail(path, std::string("cannot open: ") + std::strerror(errno));
  if (html) return importHtml(readPage(in.get(), path, st), path, missing);
  char magic[4] = {};
  if (std::fread(magic, 1, sizeof magic, in.get()) == sizeof magic &&
      std::string_view(magic, sizeof magic) == kZipMagic) {
    // Zipped books often keep the plain ".fb2" name.
    in.reset();
    ZipBook zip(path, path);
    return fb2FromZip(zip, path, missing);
  }
  std::rewind(in.get());
  if (static_cast<std::uint64_t>(st.st_size) > kMaxBookMemberSize)
    fail(path, "the book is larger than " + sizeText(kMaxBookMemberSize) + " (" +
                   sizeText(static_cast<std::uint64_t>(st.st_size)) + ")");
  return book_import::readFb2(
      [&](const std::function<void(std::string_view, bool)>& consume) {
        std::vector<char> buffer(1 << 16);
        std::uint64_t total = 0;
        for (;;) {
          const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
          if (n == 0) {
            if (std::ferror(in.get()))
              fail(path, std::string("cannot read: ") + std::strerror(errno));
            break;
          }
          total += n;
          // The file may have grown since it was measured.
          if (total > kMaxBookMemberSize)
            fail(path, "the book is larger than " + sizeText(kMaxBookMemberSize));
          consume(std::string_view(buffer.data(), n), false);
        }
        consume(std::string_view(), true);
      },
      path, "", missing);
}

}  // namespace pagora
