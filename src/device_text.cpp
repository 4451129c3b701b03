#include "device_text.h"

#include <algorithm>

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

/// The characters a device's text may show as themselves, as ranges of
/// code points in ascending order; everything else is one '?'. Every one
/// of them draws with ink, in one cell, in each of the monospace fonts of
/// a Debian desktop (DejaVu Sans Mono 2.37, Liberation Mono 2, Noto Sans
/// Mono), so that none can stand for a blank, vanish, or fall back to a
/// font that draws it wider than a cell. A list of what to refuse would
/// grow with every blank, invisible or double-width character found next;
/// this one only ever grows by a decision. It holds printable ASCII but
/// the space, the Latin-1 signs and letters and Latin Extended-A (not the
/// no-break space or the soft hyphen), the Greek letters, the Cyrillic
/// letters of living languages (not the historic ones and combining marks
/// of U+0460..U+048F, nor the 32 of the extended letters that DejaVu Sans
/// Mono lacks) and the common dashes, quotes, daggers, bullet, ellipsis,
/// per mille, angle quotes, euro, numero, trade mark, arrows and minus.
constexpr struct {
  char32_t first, last;
} kShown[] = {
    {0x0021, 0x007e}, {0x00a1, 0x00ac}, {0x00ae, 0x017f}, {0x0391, 0x03a1},
    {0x03a3, 0x03a9}, {0x03b1, 0x03c9}, {0x0400, 0x045f}, {0x0490, 0x049b},
    {0x04a2, 0x04a5}, {0x04aa, 0x04b3}, {0x04ba, 0x04bb}, {0x04c0, 0x04c4},
    {0x04c7, 0x04c8}, {0x04cb, 0x04cc}, {0x04cf, 0x04f9}, {0x2010, 0x2010},
    {0x2012, 0x2015}, {0x2018, 0x201e}, {0x2020, 0x2022}, {0x2026, 0x2026},
    {0x2030, 0x2030}, {0x2039, 0x203a}, {0x20ac, 0x20ac}, {0x2116, 0x2116},
    {0x2122, 0x2122}, {0x2190, 0x2193}, {0x2212, 0x2212},
};

bool is_shown(char32_t cp) {
  for (const auto& range : kShown) {
    if (cp < range.first)
      return false;
    if (cp <= range.last)
      return true;
  }
  return false;
}

/// The filter of both forms. `lines`: the blank, LF and a CR right before
/// an LF stay as well.
std::string filter(std::string_view text, bool lines) {
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
    // A lone CR would let what follows overwrite the line; a TAB moves the
    // cursor by up to eight columns for one character.
    const bool layout =
        lines && (cp == ' ' || cp == '\n' ||
                  (cp == '\r' && rest.size() > 1 && rest[1] == '\n'));
    if (is_shown(cp) || layout)
      out.append(rest.substr(0, n));
    else
      out += '?';
    i += n;
  }
  return out;
}

}  // namespace

std::string terminal_safe(std::string_view text) { return filter(text, false); }

std::string terminal_safe_lines(std::string_view text) {
  return filter(text, true);
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

std::string fit_status_line(std::string_view line, unsigned columns) {
  constexpr std::string_view kBreak = "\n  ";
  constexpr unsigned kMarkColumns = 2;
  if (columns <= kMarkColumns)
    return std::string(line);
  std::string out;
  unsigned column = 0;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == '\t') {
      // Where the next stop lies past the last column, the terminal would
      // leave the cursor in that column, and the next character would
      // begin a row of its own.
      const unsigned stop = (column / 8 + 1) * 8;
      if (stop < columns) {
        out += '\t';
        column = stop;
      } else if (i + 1 < line.size()) {
        out += kBreak;
        column = kMarkColumns;
      }  // else nothing follows, and no row is begun for nothing
      ++i;
      continue;
    }
    size_t n = 1;
    while (i + n < line.size() &&
           (static_cast<unsigned char>(line[i + n]) & 0xc0) == 0x80)
      ++n;
    if (column >= columns) {
      out += kBreak;
      column = kMarkColumns;
    }
    out.append(line.substr(i, n));
    ++column;
    i += n;
  }
  return out;
}

std::string quote_reply(std::string_view reply, size_t piece_bytes) {
  piece_bytes = std::max(piece_bytes, kMinDumpPieceBytes);
  std::string_view kept = reply.substr(0, utf8_head_size(reply, kMaxDumpBytes));
  size_t from = 0;
  for (size_t lines = 0; lines < kMaxDumpLines; ++lines) {
    const size_t lf = kept.find('\n', from);
    if (lf == std::string_view::npos)
      break;
    from = lf + 1;
    if (lines + 1 == kMaxDumpLines)
      kept = kept.substr(0, from);
  }
  bool left_out = kept.size() < reply.size();
  // The filter turns no byte into a line feed and no line feed into
  // anything else, so the lines are the same before and after it.
  const std::string text = terminal_safe_lines(kept);

  // A piece of P bytes never wraps: every character the filter lets
  // through takes one column, and has at least one byte.
  std::string quoted;
  size_t shown = 0;
  bool full = false;
  for (size_t start = 0; !full;) {
    const size_t lf = text.find('\n', start);
    const size_t end = lf == std::string::npos ? text.size() : lf;
    // What follows the last line end is no line, unless it is all there is.
    if (lf == std::string::npos && end == start && start != 0)
      break;
    std::string_view line(text.data() + start, end - start);
    // The filter has kept a CR only right before an LF.
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr)
      line.remove_suffix(1);
    size_t at = 0;
    do {
      if (shown == kMaxDumpLines) {
        full = true;
        left_out = true;
        break;
      }
      const size_t n = utf8_head_size(line.substr(at), piece_bytes);
      quoted += "> ";
      quoted.append(line.substr(at, n));
      at += n;
      if (cr && at == line.size())
        quoted += '\r';
      quoted += '\n';
      ++shown;
    } while (at < line.size());
    if (lf == std::string::npos)
      break;
    start = lf + 1;
  }
  if (left_out) {
    // Before the last LF, or before the CR of a CR LF there: "..." between
    // the two would leave a lone CR, which sends the cursor back over the
    // line.
    size_t at = quoted.size() - 1;
    if (at > 0 && quoted[at - 1] == '\r')
      --at;
    quoted.insert(at, "...");
  }
  return quoted;
}

size_t dump_piece_bytes(unsigned columns) {
  if (columns == 0 || columns >= kDumpPieceBytes + 5)
    return kDumpPieceBytes;
  return columns > kMinDumpPieceBytes + 5 ? columns - 5 : kMinDumpPieceBytes;
}
