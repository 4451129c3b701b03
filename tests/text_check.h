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

/// What must never reach a terminal from a device, by what it is: the
/// controls (C0 but TAB and LF, DEL, C1; a CR is allowed right before an
/// LF only, which steering_in checks), the format characters of category
/// Cf, the line and paragraph separators, the space separators other than
/// U+0020, and the fillers that show as blanks.
inline bool replaced(char32_t cp) {
  const auto in = [cp](char32_t lo, char32_t hi) { return cp >= lo && cp <= hi; };
  const bool control =
      (cp < 0x20 && cp != '\t' && cp != '\n') || in(0x7f, 0x9f);
  const bool format =
      cp == 0x00ad || in(0x0600, 0x0605) || cp == 0x061c || cp == 0x06dd ||
      cp == 0x070f || in(0x0890, 0x0891) || cp == 0x08e2 || cp == 0x180e ||
      in(0x200b, 0x200f) || in(0x202a, 0x202e) || in(0x2060, 0x2064) ||
      in(0x2066, 0x206f) || cp == 0xfeff || in(0xfff9, 0xfffb) ||
      cp == 0x110bd || cp == 0x110cd || in(0x13430, 0x1343f) ||
      in(0x1bca0, 0x1bca3) || in(0x1d173, 0x1d17a) || cp == 0xe0001 ||
      in(0xe0020, 0xe007f);
  const bool separator = cp == 0x2028 || cp == 0x2029;
  const bool space = cp == 0x00a0 || cp == 0x1680 || in(0x2000, 0x200a) ||
                     cp == 0x202f || cp == 0x205f || cp == 0x3000;
  const bool filler = cp == 0x115f || cp == 0x1160 || cp == 0x2800 ||
                      cp == 0x3164 || cp == 0xffa0;
  return control || format || separator || space || filler;
}

/// Where `s` is not plain text for a terminal: each ill-formed byte and
/// each character that must be replaced (a CR anywhere but right before an
/// LF among them) as "offset:what ", empty when there is none.
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
    if (replaced(cp) &&
        !(cp == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))
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
