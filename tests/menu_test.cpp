#include "menu.h"

#include <cstdio>

#include "lab_segment.h"

namespace {

const std::string kBare = testutil::kBadEntry + "\n";

std::string shown(const Menu& m) { return testutil::menu_text(m.title, m.items); }

std::string with_number(int n) {
  return testutil::kBadEntry + ": " + std::to_string(n) + "\n";
}

/// Runs show in a child; the result is "true <index> <chosen>" or "false
/// <index> <chosen>" (outputs as they were left), then what remains unread
/// on standard input.
testutil::ChildResult run_menu(const Menu& menu, const std::string& input) {
  return testutil::run_child(input, [&menu] {
    int index = -7;
    std::string chosen = "untouched";
    const bool ok = menu.show(index, chosen);
    std::string rest;
    int c;
    while ((c = getc(stdin)) != EOF)
      rest += static_cast<char>(c);
    return std::string(ok ? "true " : "false ") + std::to_string(index) + " " + chosen + "|" + rest;
  });
}

TEST(Menu, AnswersAndTheirOutput) {
  Menu m{"Выберете сетевой адаптер компьютера", {"enp3s0", "eth0", "wlan0"}};
  const std::string M = shown(m);
  const std::string quit = M + "Выход\n";
  struct Case {
    std::string input;
    std::string out;
    std::string result;
  } cases[] = {
      {"2\n", M, "true 1 eth0|"},
      {"+2\n", M, "true 1 eth0|"},
      {" 2\n", M, "true 1 eth0|"},
      {"2abc\n", M, "true 1 eth0|"},
      // Without a line end the digit itself is the dropped last byte.
      {"3", M + kBare + quit, "false -7 untouched|"},
      {"q\n", quit, "false -7 untouched|"},
      {"quit\n", quit, "false -7 untouched|"},
      {"q5\n", quit, "false -7 untouched|"},
      {"", quit, "false -7 untouched|"},  // end of input is a quit
      {"Q\n2\n", M + kBare + M, "true 1 eth0|"},
      {"\n2\n", M + kBare + M, "true 1 eth0|"},
      {"0\n2\n", M + kBare + M, "true 1 eth0|"},
      {"abc\n2\n", M + kBare + M, "true 1 eth0|"},
      {"-1\n2\n", M + with_number(-1) + M, "true 1 eth0|"},
      {"4\n2\n", M + with_number(4) + M, "true 1 eth0|"},
      {"1\n", M, "true 0 enp3s0|"},
      // Twelve digits: nine come in, the ninth is dropped; the last three
      // are a new entry.
      {"123456789002\n", M + with_number(12345678) + M, "true 1 eth0|"},
      {"123456789012\n", M + with_number(12345678) + M + with_number(12) + quit,
       "false -7 untouched|"},
      // Eight zeros and a 2: the 2 is dropped, then the line end alone.
      {"000000002\n", M + kBare + M + kBare + quit, "false -7 untouched|"},
      // An entry followed by ten letters: the rest stays for the next reader.
      {"2abcdefghij\ny\n", M, "true 1 eth0|ij\ny\n"},
      {"2\nq\n", M, "true 1 eth0|q\n"},
  };
  for (const Case& c : cases) {
    const testutil::ChildResult r = run_menu(m, c.input);
    EXPECT_EQ(r.out, c.out) << "input: " << c.input;
    EXPECT_EQ(r.result, c.result) << "input: " << c.input;
    EXPECT_EQ(r.err, "");
  }
}

TEST(Menu, WithoutEntriesOnlyQuitLeaves) {
  Menu m{"Пусто", {}};
  const std::string M = shown(m);
  const testutil::ChildResult r = run_menu(m, "1\n0\nq\n");
  EXPECT_EQ(r.out, M + with_number(1) + M + kBare + M + "Выход\n");
  EXPECT_EQ(r.result, "false -7 untouched|");
}

}  // namespace
