#ifndef CONTR_DISCOVERY_TERMINAL_H_
#define CONTR_DISCOVERY_TERMINAL_H_

#include <cstddef>
#include <string>
#include <string_view>

/// What a device sent, made harmless for a terminal. Only well-formed UTF-8
/// passes: a byte that does not start a well-formed sequence becomes one
/// '?', and so does each of these characters: a C0 control other than TAB
/// and LF (a CR right before an LF is kept), DEL, U+0080..U+009F, and the
/// bidirectional and line-separating format characters (U+061C, U+200E,
/// U+200F, U+2028, U+2029, U+202A..U+202E, U+2066..U+2069). Everything
/// else, Cyrillic among it, passes unchanged.
std::string terminal_safe(std::string_view text);

/// How many leading bytes of `text` to keep so that at most `max` remain:
/// when the first dropped byte continues a UTF-8 sequence, the cut moves
/// back over at most three such bytes, so that no half letter is kept.
size_t utf8_head_size(std::string_view text, size_t max);

/// How many leading bytes of `text` (well-formed UTF-8) hold its first
/// `chars` characters: the cut never falls inside a sequence.
size_t utf8_prefix_chars(std::string_view text, size_t chars);

#endif  // CONTR_DISCOVERY_TERMINAL_H_
