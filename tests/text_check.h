#ifndef CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
#define CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_

// What a terminal may receive from a device, checked by a decoder of the
// tests' own so that they and the fuzz targets do not take the filter's
// word for it. Header-only: the fuzz targets use it without GoogleTest.

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace textcheck {

/// The characters a device's text may show on a terminal as themselves,
/// as the manual lists them, written out here on their own: printable
/// ASCII but the blank, Latin-1 signs and letters and Latin Extended-A (not
/// U+00A0, not U+00AD), the Greek letters, the Cyrillic letters of living
/// languages that DejaVu Sans Mono has, and the named punctuation.
struct Range {
  char32_t first, last;
};
inline constexpr Range kRepertoire[] = {
    {0x21, 0x7e},     {0xa1, 0xac},     {0xae, 0x17f},    {0x391, 0x3a1},
    {0x3a3, 0x3a9},   {0x3b1, 0x3c9},   {0x400, 0x45f},   {0x490, 0x49b},
    {0x4a2, 0x4a5},   {0x4aa, 0x4b3},   {0x4ba, 0x4bb},   {0x4c0, 0x4c4},
    {0x4c7, 0x4c8},   {0x4cb, 0x4cc},   {0x4cf, 0x4f9},   {0x2010, 0x2010},
    {0x2012, 0x2015}, {0x2018, 0x201e}, {0x2020, 0x2022}, {0x2026, 0x2026},
    {0x2030, 0x2030}, {0x2039, 0x203a}, {0x20ac, 0x20ac}, {0x2116, 0x2116},
    {0x2122, 0x2122}, {0x2190, 0x2193}, {0x2212, 0x2212},
};

inline bool shown(char32_t cp) {
  return std::any_of(std::begin(kRepertoire), std::end(kRepertoire),
                     [cp](const Range& r) { return cp >= r.first && cp <= r.last; });
}

/// Decodes the well-formed UTF-8 sequence at `i` into `cp`; its length, or
/// 0 when the bytes there are ill-formed (overlong, surrogate, past
/// U+10FFFF, stray or cut).
inline size_t decode_at(const std::string& s, size_t i, char32_t& cp) {
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  const size_t n = b0 < 0x80 ? 1 : (b0 & 0xe0) == 0xc0 ? 2 : (b0 & 0xf0) == 0xe0 ? 3
                               : (b0 & 0xf8) == 0xf0 ? 4 : 0;
  if (n == 0 || i + n > s.size())
    return 0;
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  cp = n == 1 ? b0 : b0 & (0x7f >> n);
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xc0) != 0x80)
      return 0;
    cp = (cp << 6) | (b & 0x3f);
  }
  return cp < kMin[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff) ? 0 : n;
}

/// Where `s` holds what a device's text must not put on a terminal: each
/// ill-formed byte, and each character that is neither shown() nor one of
/// `layout` (of " \t\n\r": the blank, TAB and LF as themselves, a CR
/// only right before an LF), as "offset:what "; empty when there is none.
inline std::string foreign_in(const std::string& s, const std::string& layout = "") {
  std::string found;
  char32_t cp = 0;
  for (size_t i = 0, n; i < s.size(); i += std::max<size_t>(n, 1)) {
    if ((n = decode_at(s, i, cp)) == 0) {
      found += std::to_string(i) + ":ill-formed ";
    } else if (!shown(cp) &&
               (cp >= 0x80 || layout.find(char(cp)) == std::string::npos ||
                (cp == '\r' && (i + 1 == s.size() || s[i + 1] != '\n')))) {
      found += std::to_string(i) + ":U+" + std::to_string(cp) + " ";
    }
  }
  return found;
}

}  // namespace textcheck

#endif  // CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
