#include "terminal.h"

namespace {

bool in(unsigned char c, unsigned char lo, unsigned char hi) {
  return c >= lo && c <= hi;
}

/// Length of the well-formed UTF-8 sequence at the start of `s` (the
/// Unicode standard's table of well-formed byte sequences), 0 when there is
/// none. Overlong forms, surrogates, values past U+10FFFF, stray
/// continuation bytes and cut sequences are all 0.
size_t sequence_length(std::string_view s) {
  const unsigned char b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80)
    return 1;
  auto b = [&s](size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
  };
  const auto tail = [&b](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      if (!in(b(i), 0x80, 0xbf))
        return false;
    return true;
  };
  if (in(b0, 0xc2, 0xdf))
    return tail(1, 2) ? 2 : 0;
  if (b0 == 0xe0)
    return in(b(1), 0xa0, 0xbf) && tail(2, 3) ? 3 : 0;
  if (in(b0, 0xe1, 0xec) || in(b0, 0xee, 0xef))
    return tail(1, 3) ? 3 : 0;
  if (b0 == 0xed)
    return in(b(1), 0x80, 0x9f) && tail(2, 3) ? 3 : 0;
  if (b0 == 0xf0)
    return in(b(1), 0x90, 0xbf) && tail(2, 4) ? 4 : 0;
  if (in(b0, 0xf1, 0xf3))
    return tail(1, 4) ? 4 : 0;
  if (b0 == 0xf4)
    return in(b(1), 0x80, 0x8f) && tail(2, 4) ? 4 : 0;
  return 0;
}

/// The code point of a well-formed sequence of `n` bytes.
char32_t decode(std::string_view s, size_t n) {
  const unsigned char b0 = static_cast<unsigned char>(s[0]);
  char32_t cp = n == 1 ? b0 : n == 2 ? (b0 & 0x1f) : n == 3 ? (b0 & 0x0f)
                                                            : (b0 & 0x07);
  for (size_t i = 1; i < n; ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3f);
  return cp;
}

/// Characters that steer a terminal rather than show on it. ESC starts the
/// sequences that move the cursor, recolour, retitle or fill the clipboard;
/// a lone CR lets later text overwrite a line; U+009B is CSI on terminals
/// that decode UTF-8; the bidirectional controls reorder how the rest of a
/// line is displayed (CVE-2021-42574), and U+2028/U+2029 break it.
bool is_steering(char32_t cp) {
  if (cp < 0x20)
    return cp != '\t' && cp != '\n';
  return cp == 0x7f || (cp >= 0x80 && cp <= 0x9f) || cp == 0x061c ||
         cp == 0x200e || cp == 0x200f || (cp >= 0x2028 && cp <= 0x202e) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string terminal_safe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const std::string_view rest = text.substr(i);
    const size_t n = sequence_length(rest);
    if (n == 0) {
      // Raw C1 bytes (9B is CSI on a terminal in 8-bit mode) and every other
      // stray byte: one '?' each, and the scan goes on with the next byte.
      out += '?';
      ++i;
      continue;
    }
    const char32_t cp = decode(rest, n);
    const bool crlf = cp == '\r' && rest.size() > 1 && rest[1] == '\n';
    if (is_steering(cp) && !crlf)
      out += '?';
    else
      out.append(rest.substr(0, n));
    i += n;
  }
  return out;
}

size_t utf8_head_size(std::string_view text, size_t max) {
  if (text.size() <= max)
    return text.size();
  size_t cut = max;
  for (int back = 0;
       back < 3 && cut > 0 &&
       (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80;
       ++back)
    --cut;
  return cut;
}

size_t utf8_prefix_chars(std::string_view text, size_t chars) {
  size_t i = 0;
  for (size_t seen = 0; i < text.size(); ++i) {
    // Each character starts at a byte that is no continuation byte.
    if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80 && seen++ == chars)
      break;
  }
  return i;
}
