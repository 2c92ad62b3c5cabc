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

std::string LowerName(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The length of the book extension at the end of the name, 0 when there is none.
std::size_t BookExtension(const std::string& path) {
  const std::string lower = LowerName(path);
  for (std::string_view ext : {".fb2.zip", ".fb2", ".epub", ".html", ".htm"})
    if (EndsWith(lower, ext)) return ext.size();
  return 0;
}

[[noreturn]] void Fail(const std::string& file, const std::string& problem) {
  throw EBookImport(file + ": " + problem);
}

std::vector<std::string> Fb2FromZip(ZipBook& zip, const std::string& file) {
  for (std::int64_t i = 0; i < zip.Count(); ++i) {
    const std::string name = zip.Name(i);
    if (!EndsWith(LowerName(name), ".fb2")) continue;
    return book_import::ReadFb2(
        [&](const std::function<void(std::string_view, bool)>& consume) { zip.Read(i, consume); },
        file, name);
  }
  Fail(file, "the zip archive holds no .fb2 book");
}

constexpr std::string_view kZipMagic("PK\x03\x04", 4);

std::string SizeText(std::uint64_t bytes) {
  return std::to_string(bytes >> 20) + " MB";
}

// The whole of a page that is not larger than a book member may be.
std::string ReadPage(std::FILE* in, const std::string& path, const struct stat& st) {
  if (static_cast<std::uint64_t>(st.st_size) > kMaxBookMemberSize)
    Fail(path, "the page is larger than " + SizeText(kMaxBookMemberSize) + " (" +
                   SizeText(static_cast<std::uint64_t>(st.st_size)) + ")");
  std::string page;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0) {
      if (std::ferror(in)) Fail(path, std::string("cannot read: ") + std::strerror(errno));
      return page;
    }
    // The file may have grown since it was measured.
    if (page.size() + n > kMaxBookMemberSize)
      Fail(path, "the page is larger than " + SizeText(kMaxBookMemberSize));
    page.append(buffer.data(), n);
  }
}

}  // namespace

bool IsImportableBook(const std::string& path) {
  return BookExtension(path) != 0;
}

bool isHtmlPage(const std::string& path) {
  const std::string lower = LowerName(path);
  return EndsWith(lower, ".htm") || EndsWith(lower, ".html");
}

std::string ImportedTextName(const std::string& path) {
  return path.substr(0, path.size() - BookExtension(path)) + ".txt";
}

std::vector<std::string> ImportFb2(std::string_view bytes, const std::string& name) {
  if (bytes.substr(0, kZipMagic.size()) == kZipMagic) return ImportFb2Zip(bytes, name);
  if (bytes.size() > kMaxBookMemberSize)
    Fail(name, "the book is larger than " + SizeText(kMaxBookMemberSize));
  return book_import::ReadFb2(
      [&](const std::function<void(std::string_view, bool)>& consume) { consume(bytes, true); },
      name, "");
}

std::vector<std::string> ImportFb2Zip(std::string_view bytes, const std::string& name) {
  ZipBook zip(bytes, name);
  return Fb2FromZip(zip, name);
}

std::vector<std::string> ImportEpub(std::string_view bytes, const std::string& name) {
  ZipBook zip(bytes, name);
  return book_import::ReadEpub(zip, name);
}

std::vector<std::string> importHtml(std::string_view bytes, const std::string& name) {
  if (bytes.size() > kMaxBookMemberSize)
    Fail(name, "the page is larger than " + SizeText(kMaxBookMemberSize));
  return book_import::readHtmlPage(bytes);
}

std::vector<std::string> ImportBook(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0)
    Fail(path, std::string("cannot open: ") + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) Fail(path, "cannot open: it is a folder");
  const std::string lower = LowerName(path);
  if (EndsWith(lower, ".fb2.zip")) {
    ZipBook zip(path, path);
    return Fb2FromZip(zip, path);
  }
  if (EndsWith(lower, ".epub")) {
    ZipBook zip(path, path);
    return book_import::ReadEpub(zip, path);
  }
  const bool html = isHtmlPage(path);
  if (!html && !EndsWith(lower, ".fb2"))
    Fail(path, "not an FB2 or EPUB book or an HTML page (unknown file name extension)");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) Fail(path, std::string("cannot open: ") + std::strerror(errno));
  if (html) return importHtml(ReadPage(in.get(), path, st), path);
  char magic[4] = {};
  if (std::fread(magic, 1, sizeof magic, in.get()) == sizeof magic &&
      std::string_view(magic, sizeof magic) == kZipMagic) {
    // Zipped books often keep the plain ".fb2" name.
    in.reset();
    ZipBook zip(path, path);
    return Fb2FromZip(zip, path);
  }
  std::rewind(in.get());
  if (static_cast<std::uint64_t>(st.st_size) > kMaxBookMemberSize)
    Fail(path, "the book is larger than " + SizeText(kMaxBookMemberSize) + " (" +
                   SizeText(static_cast<std::uint64_t>(st.st_size)) + ")");
  return book_import::ReadFb2(
      [&](const std::function<void(std::string_view, bool)>& consume) {
        std::vector<char> buffer(1 << 16);
        std::uint64_t total = 0;
        for (;;) {
          const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
          if (n == 0) {
            if (std::ferror(in.get()))
              Fail(path, std::string("cannot read: ") + std::strerror(errno));
            break;
          }
          total += n;
          // The file may have grown since it was measured.
          if (total > kMaxBookMemberSize)
            Fail(path, "the book is larger than " + SizeText(kMaxBookMemberSize));
          consume(std::string_view(buffer.data(), n), false);
        }
        consume(std::string_view(), true);
      },
      path, "");
}

}  // namespace pagora
