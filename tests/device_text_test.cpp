#include "device_text.h"

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "files.h"
#include "launch.h"
#include "text_check.h"

namespace {

std::string utf8(char32_t cp) {
  if (cp < 0x80)
    return std::string(1, char(cp));
  const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  std::string s(n, '\0');
  for (int i = n - 1; i > 0; --i, cp >>= 6)
    s[i] = char(0x80 | (cp & 0x3f));
  s[0] = char((0xf00 >> n) | cp);  // C0, E0 or F0 and the top bits
  return s;
}

// A field keeps no blank, TAB or line end; lines keep the blank, LF and a
// CR right before an LF. Controls are one '?' in both, and so is each byte
// that does not begin a well-formed sequence (the scan goes on with the
// very next byte), and each well-formed character outside the repertoire,
// whatever its length.
TEST(TerminalSafe, FieldsAndLines) {
  struct Case {
    std::string in, field, lines;
  } cases[] = {
      {"", "", ""},
      {"Котельная-1", "Котельная-1", "Котельная-1"},
      {"plain text 123", "plain?text?123", "plain text 123"},
      {"Котельная-1\tОтопление,ГВС", "Котельная-1?Отопление,ГВС",
       "Котельная-1?Отопление,ГВС"},
      {"a\nb", "a?b", "a\nb"},
      {"a\r\nb", "a??b", "a\r\nb"},
      {"\r\n\r\n", "????", "\r\n\r\n"},
      // A lone CR would let the next bytes overwrite what is on the line.
      {"ok\rno", "ok?no", "ok?no"},
      {"end\r", "end?", "end?"},
      {"\r\r\n", "???", "?\r\n"},
      {std::string("a\0b", 3), "a?b", "a?b"},
      {"\x1b[2J\x1b]52;c;cm0gLXJm\x07", "?[2J?]52;c;cm0gLXJm?", "?[2J?]52;c;cm0gLXJm?"},
      {"\x08\x7f\x0b\x0c", "????", "????"},
      {"\x01\x1f\x20\x7e", "???~", "?? ~"},
      // C1 controls in their UTF-8 form: C2 9B is CSI on UTF-8 terminals.
      {"x\xc2\x9b" "31mred", "x?31mred", "x?31mred"},
      // No-break space, then the first Latin-1 signs.
      {"\xc2\xa0\xc2\xa1\xc2\xa9", "?\xc2\xa1\xc2\xa9", "?\xc2\xa1\xc2\xa9"},
      // Raw 8-bit C1 bytes: CSI on a terminal in 8-bit mode.
      {"x\x9b" "31mred\x9b" "5A", "x?31mred?5A", "x?31mred?5A"},
      {"\x80\x9b\xff\xc2", "????", "????"},
      {"\xc2\x1b", "??", "??"},
      // Overlong forms (two bytes, with a C1 lead, three, four), surrogates,
      // past U+10FFFF, F5, FE and FF leads.
      {"\xc0\x9b\xc1\xbf\xe0\x80\xaf\xf0\x80\x80\xaf", "???????????", "???????????"},
      {"\xed\xa0\x80\xed\xbf\xbf\xf4\x90\x80\x80", "??????????", "??????????"},
      {"\xf5\x80\x80\x80\xfe\xff", "??????", "??????"},
      // A stray continuation; cut sequences at the end, before ASCII,
      // before Cyrillic, before a lead.
      {"a\x80z", "a?z", "a?z"},
      {"a\xd0", "a?", "a?"},
      {"\xe2\x82" "A\xf0\x9f\x98Ж\xd0\xd0\x96", "??A???Ж?Ж", "??A???Ж?Ж"},
      // Well-formed, outside the repertoire: the highest, an emoji, around
      // the surrogates, the smallest of three bytes.
      {"\xf4\x8f\xbf\xbf\xf0\x9f\x98\x80\xed\x9f\xbf\xee\x80\x80\xe0\xa0\x80", "?????",
       "?????"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(terminal_safe(c.in), c.field) << c.in;
    EXPECT_EQ(terminal_safe_lines(c.in), c.lines) << c.in;
  }
}

// Characters that draw as a blank, as nothing, in two cells, or reorder
// the text around them, and the 32 Cyrillic letters that DejaVu Sans Mono
// lacks (a terminal takes them from a wider font): neither the filter nor
// the tests' own list of what may be shown lets them through.
TEST(TerminalSafe, NeverShown) {
  for (const char32_t cp :
       {0x20, 0x7f, 0xa0, 0xad, 0x034f, 0x0301, 0x0483, 0xfe00, 0xfe0f, 0xe0100,
        0xe01ef, 0x17b4, 0x17b5, 0x180b, 0x180e, 0x180f, 0x16fe4, 0x200b,
        0x200d, 0x2060, 0xfeff, 0xfffc, 0x2800, 0x3164, 0xffa0, 0x115f, 0x1160,
        0x1161, 0x11a2, 0x1680, 0x2000, 0x200a, 0x202f, 0x205f, 0x3000, 0x2028,
        0x2029, 0x200e, 0x202e, 0x2066, 0x2069, 0x061c, 0xe000, 0xf8ff,
        0xf0000, 0x10fffd, 0x0378, 0x2fffd, 0xe0080, 0x4e00, 0xac00, 0xff21,
        0x1f600, 0x049c, 0x04a1, 0x04a6, 0x04a9, 0x04b4, 0x04b9, 0x04bc,
        0x04bf, 0x04c5, 0x04c6, 0x04c9, 0x04ca, 0x04cd, 0x04ce, 0x04fa,
        0x04ff}) {
    EXPECT_EQ(terminal_safe("a" + utf8(cp) + "b"), "a?b")
        << "U+" << std::hex << static_cast<unsigned>(cp);
    EXPECT_FALSE(textcheck::shown(cp)) << "U+" << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(TerminalSafe, EveryByteValueAlone) {
  for (int b = 0; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    // Alone, every byte from 80 up is a stray or a cut sequence.
    const bool shown = b >= 0x21 && b <= 0x7e;
    EXPECT_EQ(terminal_safe(in), shown ? in : "?") << b;
  }
}

// Every code point there is, 4096 at a time: what the repertoire holds
// passes unchanged, everything else becomes one '?'.
TEST(TerminalSafe, EveryCodePoint) {
  for (char32_t block = 0; block < 0x110000; block += 0x1000) {
    std::string in, expected;
    for (char32_t cp = block; cp < block + 0x1000; ++cp) {
      if (cp >= 0xd800 && cp <= 0xdfff)
        continue;
      in += utf8(cp);
      expected += textcheck::shown(cp) ? utf8(cp) : "?";
    }
    ASSERT_EQ(terminal_safe(in), expected)
        << "block U+" << std::hex << static_cast<unsigned>(block);
  }
}

// Every character the filter lets through draws with ink, in one cell, in
// each of the monospace fonts of a Debian desktop: none can stand for a
// blank, vanish, or take two cells, and none is missing from a font, where
// a terminal would take it from another, wider one. tests/glyphs.py reads
// the fonts.
TEST(TerminalSafe, EveryShownCharacterDrawsInOneCell) {
  CONTR_REQUIRE(testutil::missing("/usr/bin/python3"));
  std::string list;
  for (char32_t cp = 0; cp < 0x110000; ++cp) {
    if (cp >= 0xd800 && cp <= 0xdfff)
      continue;
    const std::string text = utf8(cp);
    if (terminal_safe(text) == text) {
      char hex[16];
      snprintf(hex, sizeof hex, "%x\n", static_cast<unsigned>(cp));
      list += hex;
    }
  }
  const testutil::Outcome r = testutil::run(
      {.argv = {"/usr/bin/python3", testutil::source_dir() + "/tests/glyphs.py"},
       .input = list});
  if (r.status == 77)
    CONTR_REQUIRE(r.out);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("DejaVu Sans Mono: "), std::string::npos) << r.out;
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
      {"", 3, 0},         {"abc", 0, 0},      {"abc", 2, 2},   {"abc", 3, 3},
      {"abc", 10, 3},     {"ОпросЖ", 1, 2},   {"ОпросЖ", 5, 10},
      {"a—b", 2, 4},  // the dash is three bytes
      {"a\xf0\x9f\x98\x80" "b", 2, 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf8_prefix_chars(c.text, c.chars), c.bytes) << c.text << " " << c.chars;
}

// A status line wider than the terminal is broken, and each further row
// begins with two blanks: no row begins with what a device sent. Columns
// are characters; a TAB moves on to the next multiple of 8, or where that
// is past the row's last column, becomes the break.
TEST(FitStatusLine, NoRowBeginsWithADevicesText) {
  const std::string forged =
      "192.168.1.5 'контроллер доступен' Насосная-3" + testutil::repeated("´", 36) +
      "192.168.1.77¸'контроллер¸доступен'¸Котельная-1\tОтопление";
  struct Case {
    std::string line;
    unsigned columns;
    std::string shown;
  } cases[] = {
      {"abcdefghij", 0, "abcdefghij"},  // no terminal
      {"abcdefghij", 2, "abcdefghij"},  // too narrow for the mark
      {"abcdefghij", 10, "abcdefghij"},
      {"abcdefghij", 9, "abcdefghi\n  j"},
      {"abcdefghij", 4, "abcd\n  ef\n  gh\n  ij"},
      // An empty address, name and systems.
      {" \t", 10, " \t"},
      {" \t", 4, " "},
      {"ЖЖЖЖЖ", 4, "ЖЖЖЖ\n  Ж"},
      {"ab\tc", 10, "ab\tc"},
      {"abcdefgh\tX", 10, "abcdefgh\n  X"},
      {"abcdefghi\tXY", 17, "abcdefghi\tX\n  Y"},
      {"abcdefghijkl\tm", 12, "abcdefghijkl\n  m"},
      {"abcdefghijklmn\tz", 12, "abcdefghijkl\n  mn\tz"},
      {forged, 80,
       "192.168.1.5 'контроллер доступен' Насосная-3" + testutil::repeated("´", 36) +
           "\n  192.168.1.77¸'контроллер¸доступен'¸Котельная-1\tОтопление"},
      {forged, 40,
       "192.168.1.5 'контроллер доступен' Насосн\n  ая-3" +
           testutil::repeated("´", 34) +
           "\n  ´´192.168.1.77¸'контроллер¸доступен'¸К\n  отельная-1\tОтопление"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fit_status_line(c.line, c.columns), c.shown) << c.line << " at " << c.columns;
}

/// The parts one after another (GCC bug 105651: see docs/testing.md).
std::string cat(std::initializer_list<std::string_view> parts) {
  std::string all;
  for (std::string_view part : parts)
    all += part;
  return all;
}

/// Each of `pieces` as a quoted line; "..." before the last line end.
std::string quoted(std::initializer_list<std::string_view> pieces,
                   bool cut = false) {
  std::string all;
  for (std::string_view piece : pieces)
    all += cat({"> ", piece, "\n"});
  if (cut)
    all.insert(all.size() - 1, "...");
  return all;
}

// A reply without a header block is shown as quoted lines of at most one
// piece each, whatever it holds: no line of it passes for the tool's own,
// and none wraps into a row of its own.
TEST(QuoteReply, QuotedHeadOfAHeaderlessReply) {
  using testutil::cyrillic;
  using testutil::repeated;
  const std::string x64(64, 'x'), c64(64, 'C');
  std::string seventeen_lines, sixteen_quoted;
  for (int i = 1; i <= 17; ++i) {
    seventeen_lines += cat({"l", std::to_string(i), "\n"});
    if (i <= 16)
      sixteen_quoted += cat({"> l", std::to_string(i), i == 16 ? "...\n" : "\n"});
  }
  const std::string forged_line = "10.9.9.9 'контроллер доступен' Поддельный\tS";
  struct Case {
    std::string what, reply;
    size_t piece;
    std::string shown;
  } cases[] = {
      {"three letters", "abc", 64, "> abc\n"},
      {"one line", "abc\n", 64, "> abc\n"},
      {"an empty line inside", "a\n\nb", 64, "> a\n> \n> b\n"},
      {"empty", "", 64, "> \n"},
      {"a line feed alone", "\n", 64, "> \n"},
      {"two line feeds", "\n\n", 64, "> \n> \n"},
      {"CR LF lines keep their CR", "a\r\nb\r\n", 64, "> a\r\n> b\r\n"},
      // "..." goes before the pair: between CR and LF it would leave a
      // lone CR.
      {"a cut after CR LF lines", repeated("a\r\n", 17), 64,
       cat({repeated("> a\r\n", 15), "> a...\r\n"})},
      {"sixteen lines are all there", seventeen_lines.substr(0, 3 * 9 + 4 * 7),
       64, cat({sixteen_quoted.substr(0, sixteen_quoted.size() - 4), "\n"})},
      {"the seventeenth line goes", seventeen_lines, 64, sixteen_quoted},
      {"a mebibyte of line feeds", std::string(1048576, '\n'), 64,
       cat({repeated("> \n", 15), "> ...\n"})},
      {"steering bytes and a tab", std::string("a\rb\0c\x9b\xe2\x80\xae\td", 11),
       64, "> a?b?c???d\n"},
      {"blanks that are no blank", "K\xc2\xa0\xe3\x80\x80\xe2\x80\x8b" "S", 64,
       "> K???S\n"},
      // Lines wider than a piece: 64 bytes, or the terminal's width less
      // five at 40 columns; never inside a letter.
      {"200 letters", std::string(200, 'C'), 64,
       quoted({c64, c64, c64, "CCCCCCCC"})},
      {"200 letters at 40 columns", std::string(200, 'C'), 35,
       quoted({std::string(35, 'C'), std::string(35, 'C'), std::string(35, 'C'),
               std::string(35, 'C'), std::string(35, 'C'),
               std::string(25, 'C')})},
      {"a letter at the cut", cat({"a", cyrillic(80)}), 64,
       quoted({cat({"a", cyrillic(62)}), cyrillic(18)})},
      // Four bytes, one '?', one column.
      {"an emoji at the cut", cat({std::string(62, 'a'), "\xf0\x9f\x98\x80zz"}),
       64, quoted({cat({std::string(62, 'a'), "?z"}), "z"})},
      {"a tab in a long line", cat({std::string(70, 'a'), "\tb"}), 64,
       quoted({std::string(64, 'a'), "aaaaaa?b"})},
      {"a CR LF does not count", cat({x64, "\r\n"}), 64,
       cat({"> ", x64, "\r\n"})},
      {"a CR LF after a cut", cat({x64, "x\r\ny"}), 64,
       cat({"> ", x64, "\n> x\r\n> y\n"})},
      {"sixteen pieces, no more", std::string(200, 'C'), 8,
       quoted({"CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC",
               "CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC",
               "CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC", "CCCCCCCC",
               "CCCCCCCC"},
              true)},
      {"pieces never under 8 bytes", "abcdefghij", 3, "> abcdefgh\n> ij\n"},
      // The byte cap: exactly what fits, one byte more, a cut letter.
      {"1024 bytes", std::string(1024, 'd'), 64,
       repeated(cat({"> ", std::string(64, 'd'), "\n"}), 16)},
      {"1025 bytes", std::string(1025, 'e'), 64,
       cat({repeated(cat({"> ", std::string(64, 'e'), "\n"}), 15), "> ",
            std::string(64, 'e'), "...\n"})},
      {"a letter cut by the cap", cat({"a", cyrillic(1024)}), 64,
       cat({"> a", cyrillic(62), "\n", repeated(cat({"> ", cyrillic(64), "\n"}), 14),
            "> ", cyrillic(64), "...\n"})},
      {"a forged summary",
       cat({"\n\n\n\n\n\n\n\nОбнаруженные контроллеры:\n", forged_line, "\n"}),
       64,
       cat({repeated("> \n", 8), "> Обнаруженные контроллеры:\n",
            "> 10.9.9.9 'контроллер доступен' Поддель\n", "> ный?S\n"})},
  };
  for (const Case& c : cases)
    EXPECT_EQ(quote_reply(c.reply, c.piece), c.shown) << c.what;
}

// The pieces fit the terminal: with "> " before and "..." after, a piece
// fills at most one row, so none wraps into a row of its own.
TEST(DumpPieceBytes, FitsTheTerminal) {
  struct Case {
    unsigned columns;
    size_t piece;
  } cases[] = {
      {0, 64},   {200, 64}, {80, 64}, {69, 64}, {68, 63}, {66, 61},
      {64, 59},  {40, 35},  {14, 9},  {13, 8},  {9, 8},   {1, 8},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dump_piece_bytes(c.columns), c.piece) << c.columns;
}

}  // namespace
