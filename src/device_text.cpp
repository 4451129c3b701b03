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

/// Characters shown as '?', as ranges of code points in ascending order.
/// Controls: ESC starts the sequences that move the cursor, recolour,
/// retitle or fill the clipboard; a lone CR lets later text overwrite a
/// line; U+009B is CSI on terminals that decode UTF-8. Format characters:
/// the bidirectional ones reorder how the rest of a line is displayed
/// (CVE-2021-42574), the others are invisible or join what they stand
/// between. Separators and fillers: U+2028/U+2029 break a line, and the
/// blanks other than U+0020 would let a field pass for the blanks of a
/// status line or pad it out to a row of its own.
constexpr struct {
  char32_t first, last;
} kReplaced[] = {
    {0x0000, 0x0008}, {0x000b, 0x001f}, {0x007f, 0x00a0}, {0x00ad, 0x00ad},
    {0x0600, 0x0605}, {0x061c, 0x061c}, {0x06dd, 0x06dd}, {0x070f, 0x070f},
    {0x0890, 0x0891}, {0x08e2, 0x08e2}, {0x115f, 0x1160}, {0x1680, 0x1680},
    {0x180e, 0x180e}, {0x2000, 0x200f}, {0x2028, 0x202f}, {0x205f, 0x2064},
    {0x2066, 0x206f}, {0x2800, 0x2800}, {0x3000, 0x3000}, {0x3164, 0x3164},
    {0xfeff, 0xfeff}, {0xffa0, 0xffa0}, {0xfff9, 0xfffb}, {0x110bd, 0x110bd},
    {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3},
    {0x1d173, 0x1d17a}, {0xe0001, 0xe0001}, {0xe0020, 0xe007f},
};

/// TAB and LF pass; a CR is decided by what follows it.
bool is_replaced(char32_t cp) {
  for (const auto& range : kReplaced) {
    if (cp < range.first)
      return false;
    if (cp <= range.last)
      return true;
  }
  return false;
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
    if (is_replaced(cp) && !crlf)
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
  // anything else, so the lines are the same before and after it. A TAB
  // would move the cursor by up to eight columns for one byte, and the
  // pieces below count one column a byte.
  std::string text = terminal_safe(kept);
  std::replace(text.begin(), text.end(), '\t', '?');

  // A piece of P bytes never wraps: every character the filter lets
  // through takes at most as many columns as it has bytes (ASCII one, the
  // wide East Asian letters two of their three or four).
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
