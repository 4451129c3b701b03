#include "terminal.h"

#include <gtest/gtest.h>

namespace {

std::string utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xc0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xe0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    s += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    s += static_cast<char>(0xf0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    s += static_cast<char>(0x80 | (cp & 0x3f));
  }
  return s;
}

TEST(TerminalSafe, ReplacesControlsKeepsText) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain text 123", "plain text 123"},
      {"Котельная-1\tОтопление,ГВС", "Котельная-1\tОтопление,ГВС"},
      {"a\nb", "a\nb"},
      {"a\r\nb", "a\r\nb"},
      {"\r\n\r\n", "\r\n\r\n"},
      // A lone CR would let the next bytes overwrite what is on the line.
      {"ok\rno", "ok?no"},
      {"end\r", "end?"},
      {"\r\r\n", "?\r\n"},
      {std::string("a\0b", 3), "a?b"},
      {"\x1b[2J\x1b]52;c;cm0gLXJm\x07", "?[2J?]52;c;cm0gLXJm?"},
      {"\x08\x7f\x0b\x0c", "????"},
      {"\x01\x1f\x20\x7e", "?? ~"},
      // C1 controls in their UTF-8 form: C2 9B is CSI on UTF-8 terminals.
      {"x\xc2\x9b" "31mred", "x?31mred"},
      {"\xc2\x80\xc2\x9f\xc2\xa0\xc2\xa9", "??\xc2\xa0\xc2\xa9"},
      // Raw 8-bit C1 bytes: CSI on a terminal in 8-bit mode.
      {"x\x9b" "31mred\x9b" "5A", "x?31mred?5A"},
      {"\x80\x9b\xff\xc2", "????"},
      {"\xc2\x1b", "??"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(terminal_safe(c.in), c.out) << c.in;
}

// One '?' for each byte that does not begin a well-formed sequence; the
// scan goes on with the very next byte.
TEST(TerminalSafe, IllFormedSequences) {
  struct Case {
    std::string what, in, out;
  } cases[] = {
      {"overlong two-byte", "\xc0\x9b", "??"},
      {"overlong two-byte, C1 lead", "\xc1\xbf", "??"},
      {"overlong three-byte", "\xe0\x80\xaf", "???"},
      {"overlong four-byte", "\xf0\x80\x80\xaf", "????"},
      {"surrogate", "\xed\xa0\x80", "???"},
      {"low surrogate", "\xed\xbf\xbf", "???"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", "????"},
      {"F5 lead", "\xf5\x80\x80\x80", "????"},
      {"FE and FF", "\xfe\xff", "??"},
      {"stray continuation", "a\x80z", "a?z"},
      {"cut two-byte at the end", "a\xd0", "a?"},
      {"cut three-byte then ASCII", "\xe2\x82" "A", "??A"},
      {"cut four-byte then Cyrillic", "\xf0\x9f\x98Ж", "???Ж"},
      {"lead then lead", "\xd0\xd0\x96", "?Ж"},
      {"highest", "\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},
      {"emoji", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
      {"last before surrogates", "\xed\x9f\xbf", "\xed\x9f\xbf"},
      {"first after surrogates", "\xee\x80\x80", "\xee\x80\x80"},
      {"smallest three-byte", "\xe0\xa0\x80", "\xe0\xa0\x80"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(terminal_safe(c.in), c.out) << c.what;
}

TEST(TerminalSafe, FormatCharactersThatReorderOrBreakLines) {
  for (const char32_t cp : {0x061cu, 0x200eu, 0x200fu, 0x2028u, 0x2029u,
                            0x202au, 0x202bu, 0x202cu, 0x202du, 0x202eu,
                            0x2066u, 0x2067u, 0x2068u, 0x2069u})
    EXPECT_EQ(terminal_safe("a" + utf8(cp) + "b"), "a?b") << std::hex << static_cast<unsigned>(cp);
  // Their neighbours are ordinary text.
  for (const char32_t cp :
       {0x061bu, 0x061du, 0x200du, 0x2010u, 0x2027u, 0x202fu, 0x2065u,
        0x206au, 0x00a0u, 0x0410u, 0x044fu, 0x0401u, 0x20acu, 0xfeffu})
    EXPECT_EQ(terminal_safe(utf8(cp)), utf8(cp)) << std::hex << static_cast<unsigned>(cp);
}

TEST(TerminalSafe, EveryByteValueAlone) {
  for (int b = 0; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    // Alone, every byte from 80 up is a stray or a cut sequence.
    const bool replaced =
        (b < 0x20 && b != '\t' && b != '\n') || b >= 0x7f;
    EXPECT_EQ(terminal_safe(in), replaced ? "?" : in) << b;
  }
}

// Every code point there is, 4096 at a time: text passes unchanged, each
// steering character becomes one '?'.
TEST(TerminalSafe, EveryCodePoint) {
  for (char32_t block = 0; block < 0x110000; block += 0x1000) {
    std::string in, expected;
    for (char32_t cp = block; cp < block + 0x1000; ++cp) {
      if (cp >= 0xd800 && cp <= 0xdfff)
        continue;
      const bool steering =
          (cp < 0x20 && cp != '\t' && cp != '\n') ||
          (cp >= 0x7f && cp <= 0x9f) || cp == 0x061c || cp == 0x200e ||
          cp == 0x200f || (cp >= 0x2028 && cp <= 0x202e) ||
          (cp >= 0x2066 && cp <= 0x2069);
      // A CR is kept only right before an LF, which is no case here.
      in += utf8(cp);
      expected += steering ? "?" : utf8(cp);
    }
    ASSERT_EQ(terminal_safe(in), expected)
        << "block U+" << std::hex << static_cast<unsigned>(block);
  }
}

TEST(Utf8HeadSize, CutsBeforeASplitLetter) {
  struct Case {
    std::string text;
    size_t max, kept;
  } cases[] = {
      {"", 4, 0},
      {"abcd", 4, 4},
      {"abcde", 4, 4},
      {"abЖ", 3, 2},             // D0 kept, 96 dropped: the letter goes
      {"abcЖ", 4, 3},
      {"a\xf0\x9f\x98\x80", 3, 1},
      {std::string(10, '\x80'), 4, 1},  // back three bytes at the most
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf8_head_size(c.text, c.max), c.kept) << c.text;
}

// The progress line is cut to the terminal's width, a character at a time.
TEST(Utf8PrefixChars, CountsCharactersNotBytes) {
  struct Case {
    std::string text;
    size_t chars, bytes;
  } cases[] = {
      {"", 3, 0},
      {"abc", 0, 0},
      {"abc", 2, 2},
      {"abc", 3, 3},
      {"abc", 10, 3},
      {"ОпросЖ", 1, 2},
      {"ОпросЖ", 5, 10},
      {"a—b", 2, 4},  // the dash is three bytes
      {"a\xf0\x9f\x98\x80" "b", 2, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf8_prefix_chars(c.text, c.chars), c.bytes)
        << c.text << " " << c.chars;
}

}  // namespace
