#ifndef CONTR_DISCOVERY_DEVICE_TEXT_H_
#define CONTR_DISCOVERY_DEVICE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

// Text a device sent, made fit for the operator's terminal: pure text in,
// text out. What writes it, and knows the terminal's width, is console.

/// One field a device sent (an address, a name), as the terminal may show
/// it: each character of a fixed repertoire of visible ones, each drawn
/// in one cell by every monospace font of a Debian desktop (printable
/// ASCII but the blank, Latin-1 and Latin Extended-A letters and signs,
/// Greek letters, the Cyrillic letters those fonts have, common
/// punctuation), stays as it is; every other character, and each byte that
/// starts no well-formed UTF-8 sequence, becomes one '?'.
std::string terminal_safe(std::string_view text);

/// terminal_safe for lines of text: the blank, LF and a CR right before an
/// LF stay as well. A TAB is '?' here too.
std::string terminal_safe_lines(std::string_view text);

/// How many leading bytes of `text` to keep so that at most `max` remain:
/// when the first dropped byte continues a UTF-8 sequence, the cut moves
/// back over at most three such bytes, so that no half letter is kept.
size_t utf8_head_size(std::string_view text, size_t max);

/// How many leading bytes of `text` (well-formed UTF-8) hold its first
/// `chars` characters: the cut never falls inside a sequence.
size_t utf8_prefix_chars(std::string_view text, size_t chars);

/// A status line laid out for a terminal of `columns`: where it is wider,
/// it is broken, and each further row begins with two blanks, which no
/// status line begins with, so that no row of the screen begins with text
/// a device sent. Each character takes one column, a TAB moves on to the
/// next multiple of 8, and one that would reach the row's end becomes the
/// break (or goes, at the line's end). With `columns` 0 (no terminal) or
/// too few for the mark and a character, the line as it is.
std::string fit_status_line(std::string_view line, unsigned columns);

/// Of a reply without a header block, the most bytes and line ends taken
/// for the console, and the most quoted lines shown.
inline constexpr size_t kMaxDumpBytes = 1024;
inline constexpr size_t kMaxDumpLines = 16;
/// The longest piece of a line in one quoted line, and the shortest that a
/// narrow terminal makes it.
inline constexpr size_t kDumpPieceBytes = 64;
inline constexpr size_t kMinDumpPieceBytes = 8;

/// What the console shows of a reply without a header block, so that
/// nothing a device sends passes for the tool's own lines: its head (at
/// most kMaxDumpBytes, cut before a split letter, and at most
/// kMaxDumpLines line ends) through terminal_safe_lines;
/// each line cut into pieces of at most `piece_bytes` bytes (never inside
/// a letter; the CR of a CR LF stays with the last piece and does not
/// count), each piece quoted as "> " + piece + LF, at most kMaxDumpLines
/// of them. "..." stands before the last LF (before its CR, where a CR LF
/// ends it) when anything was left out.
std::string quote_reply(std::string_view reply,
                        size_t piece_bytes = kDumpPieceBytes);

/// The piece size for a terminal of `columns` (0: no terminal):
/// kDumpPieceBytes, or on a terminal narrower than that allows its width
/// less five columns ("> " and "..."), but at least kMinDumpPieceBytes.
size_t dump_piece_bytes(unsigned columns);

#endif  // CONTR_DISCOVERY_DEVICE_TEXT_H_
