// libzip behind a small owner: members streamed in pieces with the size limit enforced while
// reading, since a member's stored size may lie.
#include "textimport/zip_book.h"

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "textimport/book_import.h"

namespace pagora::book_import {

namespace {

std::string megaBytes(std::uint64_t bytes) {
  return std::to_string(bytes >> 20) + " MB";
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void ZipBook::raise(const std::string& problem) const {
  throw EBookImport(file_ + ": " + problem);
}

ZipBook::ZipBook(const std::string& path, const std::string& file) : file_(file) {
  int error = 0;
  zip_ = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (zip_) return;
  if (error == ZIP_ER_NOZIP || error == ZIP_ER_INCONS) raise("not a zip archive");
  if (error == ZIP_ER_OPEN || error == ZIP_ER_NOENT || error == ZIP_ER_READ) {
    const int saved = errno;
    raise(std::string("cannot open: ") + std::strerror(saved ? saved : ENOENT));
  }
  zip_error_t z;
  zip_error_init_with_code(&z, error);
  const std::string text = zip_error_strerror(&z);
  zip_error_fini(&z);
  raise("cannot read the zip archive: " + text);
}

ZipBook::ZipBook(std::string_view bytes, const std::string& file) : file_(file) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!source) {
    zip_error_fini(&error);
    throw std::bad_alloc();
  }
  zip_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!zip_) {
    zip_source_free(source);
    const int code = zip_error_code_zip(&error);
    const std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) raise("not a zip archive");
    raise("cannot read the zip archive: " + text);
  }
  zip_error_fini(&error);
}

ZipBook::~ZipBook() {
  if (zip_) zip_discard(zip_);
}

std::int64_t ZipBook::count() const {
  return zip_get_num_entries(zip_, 0);
}

std::string ZipBook::name(std::int64_t index) const {
  const char* name = zip_get_name(zip_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
  return name ? name : "";
}

std::int64_t ZipBook::find(const std::string& name) const {
  const zip_int64_t exact = zip_name_locate(zip_, name.c_str(), ZIP_FL_ENC_GUESS);
  if (exact >= 0) return exact;
  std::int64_t found = -1;
  for (std::int64_t i = 0; i < count(); ++i) {
    if (!sameIgnoringCase(this->name(i), name)) continue;
    if (found >= 0) return -1;  // ambiguous
    found = i;
  }
  return found;
}

void ZipBook::read(std::int64_t index, const std::function<void(std::string_view, bool)>& sink) {
  const std::string name = this->name(index);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0)
    raise("cannot read " + name + " in the zip archive");
  if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxBookMemberSize)
    raise(name + " is larger than " + megaBytes(kMaxBookMemberSize) + " uncompressed (" +
          megaBytes(st.size) + ")");
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
    raise(name + " is encrypted");
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> member(
      zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!member) raise("cannot read " + name + ": " + zip_strerror(zip_));
  std::vector<char> buffer(1 << 16);
  std::uint64_t total = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(member.get(), buffer.data(), buffer.size());
    if (n < 0) raise(name + " is corrupt: " + zip_file_strerror(member.get()));
    if (n == 0) break;
    total += static_cast<std::uint64_t>(n);
    if (total > kMaxBookMemberSize)
      raise(name + " is larger than " + megaBytes(kMaxBookMemberSize) + " uncompressed");
    sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)), false);
  }
  sink(std::string_view(), true);
}

std::string ZipBook::readAll(std::int64_t index) {
  std::string bytes;
  read(index, [&](std::string_view piece, bool) { bytes.append(piece); });
  return bytes;
}

}  // namespace pagora::book_import
