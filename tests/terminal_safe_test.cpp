#include "ping6.h"

#include <gtest/gtest.h>

namespace {

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
      // Bytes that are no UTF-8 at all pass, as does a lone C2.
      {"\x80\x9b\xff\xc2", "\x80\x9b\xff\xc2"},
      {"\xc2\x1b", "\xc2?"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(terminal_safe(c.in), c.out) << c.in;
}

TEST(TerminalSafe, EveryByteValue) {
  for (int b = 0; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    const bool replaced = (b < 0x20 && b != '\t' && b != '\n') || b == 0x7f;
    EXPECT_EQ(terminal_safe(in), replaced ? "?" : in) << b;
  }
}

}  // namespace
