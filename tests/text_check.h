#ifndef CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
#define CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_

// What a terminal may receive from a device, and how a terminal lays a line
// out, checked by a decoder of their own so that the tests and the fuzz
// targets do not take the filter's word for it. Header-only: the fuzz
// targets use it without GoogleTest.

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

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

/// The characters a device's text may show on a terminal as themselves,
/// written out from the list the tool promises: printable ASCII but the
/// blank, Latin-1 signs and letters and Latin Extended-A (not U+00A0, not
/// U+00AD), the Greek letters, the Cyrillic letters of living languages,
/// and the named punctuation.
inline bool shown(char32_t cp) {
  const auto in = [cp](char32_t lo, char32_t hi) { return cp >= lo && cp <= hi; };
  const bool ascii = in(0x21, 0x7e);
  const bool latin = in(0xa1, 0xac) || in(0xae, 0x17f);
  const bool greek = in(0x391, 0x3a1) || in(0x3a3, 0x3a9) || in(0x3b1, 0x3c9);
  const bool cyrillic = in(0x400, 0x45f) || in(0x490, 0x4ff);
  const bool punctuation =
      cp == 0x2010 || in(0x2012, 0x2015) || in(0x2018, 0x201e) ||
      in(0x2020, 0x2022) || cp == 0x2026 || cp == 0x2030 || cp == 0x2039 ||
      cp == 0x203a || cp == 0x20ac || cp == 0x2116 || cp == 0x2122 ||
      in(0x2190, 0x2193) || cp == 0x2212;
  return ascii || latin || greek || cyrillic || punctuation;
}

/// Where `s` holds what a device's text must not put on a terminal: each
/// ill-formed byte, and each character that is neither shown() nor one of
/// `layout` (of " \t\n\r": the blank, TAB and LF as themselves, a CR
/// only right before an LF), as "offset:what "; empty when there is none.
inline std::string foreign_in(const std::string& s, const std::string& layout = "") {
  std::string found;
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = decode_at(s, i, cp);
    if (n == 0) {
      found += std::to_string(i) + ":ill-formed ";
      ++i;
      continue;
    }
    const bool allowed =
        shown(cp) ||
        (cp < 0x80 && layout.find(static_cast<char>(cp)) != std::string::npos &&
         (cp != '\r' || (i + 1 < s.size() && s[i + 1] == '\n')));
    if (!allowed)
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

/// One line of text that holds only shown() characters, '?', blanks and
/// TABs, as a terminal lays it out: each character one column, a TAB on to
/// the next multiple of 8 (at most the last column, as terminals do), the
/// next character on a new row once a row is full. Decoded once, laid out
/// at any width.
class Layout {
 public:
  explicit Layout(const std::string& line) : line_(line) {
    for (size_t i = 0; i < line.size();) {
      char32_t cp = 0;
      size_t n = decode_at(line, i, cp);
      if (n == 0)
        n = 1;
      chars_.push_back({i, n, cp == '\t'});
      i += n;
    }
  }

  /// The first `head` columns of every row after the first on a terminal
  /// of `columns` (a TAB as blanks).
  std::vector<std::string> later_rows(size_t columns, size_t head) const {
    std::vector<std::string> rows;
    size_t column = 0;
    for (size_t k = 0; k < chars_.size(); ++k) {
      if (chars_[k].tab) {
        column = std::max(column, std::min((column / 8 + 1) * 8, columns - 1));
        continue;
      }
      if (column == columns) {
        rows.push_back(row_from(k, columns, head));
        column = 0;
      }
      ++column;
    }
    return rows;
  }

 private:
  struct Char {
    size_t at, bytes;
    bool tab;
  };

  std::string row_from(size_t k, size_t columns, size_t head) const {
    std::string row;
    for (size_t column = 0; k < chars_.size() && column < head; ++k) {
      if (chars_[k].tab) {
        const size_t to = std::min((column / 8 + 1) * 8, columns - 1);
        if (to > column) {
          row.append(to - column, ' ');
          column = to;
        }
      } else {
        if (column == columns)
          break;
        row.append(line_, chars_[k].at, chars_[k].bytes);
        ++column;
      }
    }
    return row;
  }

  const std::string& line_;
  std::vector<Char> chars_;
};

}  // namespace textcheck

#endif  // CONTR_DISCOVERY_TESTS_TEXT_CHECK_H_
