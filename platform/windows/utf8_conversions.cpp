// The narrow encoding of the Windows programs is UTF-8, as on Linux. The C runtime's C locale
// knows no UTF-8 (and msvcrt refuses a UTF-8 LC_CTYPE), so the two conversions the C++ library
// uses between char and wchar_t (std::filesystem::path among others) are replaced at link time
// (--wrap) by UTF-8 <-> UTF-16 ones.
#include <errno.h>
#include <wchar.h>

#include <cstdint>
#include <cstring>

extern "C" {

// One UTF-8 character to one UTF-16 unit; characters beyond the Basic Multilingual Plane and
// malformed bytes give EILSEQ. The state is unused: a character is taken whole or not at all.
size_t __wrap_mbrtowc(wchar_t* out, const char* in, size_t n, mbstate_t*) {
  if (!in) return 0;
  if (n == 0) return static_cast<size_t>(-2);
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  std::uint32_t code = 0;
  size_t length = 0;
  if (s[0] < 0x80) {
    code = s[0];
    length = 1;
  } else if ((s[0] & 0xE0) == 0xC0 && s[0] >= 0xC2) {
    code = s[0] & 0x1F;
    length = 2;
  } else if ((s[0] & 0xF0) == 0xE0) {
    code = s[0] & 0x0F;
    length = 3;
  } else {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  for (size_t i = 1; i < length; ++i) {
    if (i >= n) return static_cast<size_t>(-2);
    if ((s[i] & 0xC0) != 0x80) {
      errno = EILSEQ;
      return static_cast<size_t>(-1);
    }
    code = (code << 6) | (s[i] & 0x3F);
  }
  if ((length == 3 && code < 0x800) || (code >= 0xD800 && code <= 0xDFFF)) {
    errno = EILSEQ;
    return static_cast<size_t>(-1);
  }
  if (out) *out = static_cast<wchar_t>(code);
  return code == 0 ? 0 : length;
}

// One UTF-16 unit to UTF-8; a high surrogate is kept in the state until its low half comes.
size_t __wrap_wcrtomb(char* out, wchar_t unit, mbstate_t* state) {
  static mbstate_t own{};
  if (!state) state = &own;
  std::uint32_t pending = 0;
  std::memcpy(&pending, state, sizeof pending < sizeof *state ? sizeof pending : sizeof *state);
  char buffer[8];
  if (!out) {
    out = buffer;
    unit = 0;
  }
  const std::uint32_t u = static_cast<std::uint16_t>(unit);
  auto keep = [&](std::uint32_t value) {
    std::memcpy(state, &value, sizeof value < sizeof *state ? sizeof value : sizeof *state);
  };
  if (u >= 0xD800 && u <= 0xDBFF) {
    keep(u);
    return 0;
  }
  std::uint32_t code = u;
  if (u >= 0xDC00 && u <= 0xDFFF) {
    if (pending == 0) {
      errno = EILSEQ;
      return static_cast<size_t>(-1);
    }
    code = 0x10000 + ((pending - 0xD800) << 10) + (u - 0xDC00);
  }
  keep(0);
  auto* o = reinterpret_cast<unsigned char*>(out);
  if (code < 0x80) {
    o[0] = static_cast<unsigned char>(code);
    return 1;
  }
  if (code < 0x800) {
    o[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    o[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    o[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    o[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 3;
  }
  o[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
  o[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
  o[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
  o[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  return 4;
}

}  // extern "C"

namespace {
// A UTF-8 character takes up to four bytes: the C++ library sizes its buffers by this.
int utf8MaxLength() {
  return 4;
}
}  // namespace

extern "C" {
// The import slot of the C runtime's MB_CUR_MAX, redirected (--wrap) to the UTF-8 answer.
int (*__wrap___imp____mb_cur_max_func)() = &utf8MaxLength;
}
