#ifndef CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
#define CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_

// What a terminal must never receive from a device, checked by a decoder of
// its own so that the tests and the fuzz targets do not take the filter's
// word for it. Header-only: the fuzz targets use it without GoogleTest.

#include <cstddef>
#include <string>

namespace textcheck {

/// Decodes one well-formed UTF-8 sequence at `i` into `cp`; its length, or
/// 0 when the bytes there are ill-formed (overlong, surrogate, past
/// U+10FFFF, stray or cut).
inline size_t decode_at(const std::string& s, size_t i, char32_t& cp) {
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  size_t n;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xe0) == 0xc0) {
    n = 2, cp = b0 & 0x1f, min = 0x80;
  } else if ((b0 & 0xf0) == 0xe0) {
    n = 3, cp = b0 & 0x0f, min = 0x800;
  } else if ((b0 & 0xf8) == 0xf0) {
    n = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size())
    return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xc0) != 0x80)
      return 0;
    cp = (cp << 6) | (b & 0x3f);
  }
  if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
    return 0;
  return n;
}

/// C0 controls but TAB, LF and CR, DEL, the C1 controls, and the format
/// characters that reorder a line or break it.
inline bool steers(char32_t cp) {
  return (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') ||
         (cp >= 0x7f && cp <= 0x9f) || cp == 0x061c || cp == 0x200e ||
         cp == 0x200f || (cp >= 0x2028 && cp <= 0x202e) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

/// Where `s` is not plain text for a terminal: each ill-formed byte and
/// each steering character (a CR anywhere but right before an LF among
/// them) as "offset:what ", empty when there is none.
inline std::string steering_in(const std::string& s) {
  std::string found;
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = decode_at(s, i, cp);
    if (n == 0) {
      found += std::to_string(i) + ":ill-formed ";
      ++i;
      continue;
    }
    if (steers(cp) ||
        (cp == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n')))
      found += std::to_string(i) + ":U+" + std::to_string(cp) + " ";
    i += n;
  }
  return found;
}

/// True when every sequence in `s` is well-formed.
inline bool well_formed(const std::string& s) {
  char32_t cp;
  for (size_t i = 0, n; i < s.size(); i += n)
    if ((n = decode_at(s, i, cp)) == 0)
      return false;
  return true;
}

}  // namespace textcheck

#endif  // CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
