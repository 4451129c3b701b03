// The operator's terminal: the progress line during a long sweep, Ctrl-C
// that ends the sweep but keeps what was found, and text a device sent
// laid out so that no row of the screen begins with it. The real binary
// runs on a pseudo-terminal in labs of controllers and nodes that accept
// and never answer (each costs the 5 s exchange bound).

#include <algorithm>
#include <chrono>

#include "lab_segment.h"
#include "pty_session.h"

namespace {

using testutil::kQuestion;
using testutil::sorted;
using Screen = std::vector<std::string>;

const std::string kC1 = "192.168.1.10 'контроллер доступен' K1\tS1";
const std::string kC2 =
    "10.0.0.5 'нет доступа к контроллеру' (ip_pc & mask_contr) != (ip_contr & mask_contr) K2\tS2";
// The same at 40 columns, broken and laid out by the terminal.
const std::string kC1at40 = "192.168.1.10 'контроллер доступен' K1\n  S1";
const std::string kC2at40 =
    "10.0.0.5 'нет доступа к контроллеру' (ip\n  _pc & mask_contr) != (ip_contr & "
    "mask_\n  contr) K2\tS2";
const std::string kProgress = "\rОпрос узлов: ";
const std::string kRefused = "error:connect: Connection refused";

/// The lines a terminal of `columns` shows after receiving `bytes`: a small
/// model that knows CR, LF, TAB (kept as itself in the line), ESC [ K and
/// printable text (a UTF-8 letter is one cell), enough for what the tool
/// writes.
std::vector<std::string> render_screen(const std::string& bytes, size_t columns = 200) {
  std::vector<std::vector<std::string>> screen(1);  // a cell: a character's bytes
  size_t row = 0, col = 0;
  const auto next_row = [&] {
    if (++row == screen.size())
      screen.emplace_back();
  };
  for (size_t i = 0; i < bytes.size();) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      c == '\r' ? void(col = 0) : next_row();
      ++i;
    } else if (bytes.compare(i, 3, "\x1b[K") == 0) {
      screen[row].resize(std::min(screen[row].size(), col));
      i += 3;
    } else {
      size_t n = 1;
      while (i + n < bytes.size() && (static_cast<unsigned char>(bytes[i + n]) & 0xc0) == 0x80)
        ++n;
      if (col >= columns && c != '\t') {  // wrap, as a terminal does
        col = 0;
        next_row();
      }
      // A TAB stays itself in its cell and moves on to the next multiple
      // of 8, at most to the last column; the cells it passes hold nothing.
      const size_t to = c == '\t' ? std::max(col + 1, std::min((col / 8 + 1) * 8, columns - 1))
                                  : col + 1;
      if (screen[row].size() < to)
        screen[row].resize(to, c == '\t' ? "" : " ");
      screen[row][col].assign(bytes, i, n);
      col = to;
      i += n;
    }
  }
  std::vector<std::string> lines;
  for (const auto& cells : screen) {
    lines.emplace_back();
    for (const std::string& cell : cells)
      lines.back() += cell;
  }
  return lines;
}

/// Types `keys` (Ctrl-C, or nothing), waits `within` seconds at the most
/// for the question and answers it; the screen once the run has ended
/// with status 0. `took`: seconds from the keys to the question.
Screen answer_the_question(testutil::PtySession& pty, const std::string& keys,
                           double within, const std::string& answer,
                           double* took = nullptr) {
  const size_t before = pty.output().size();
  const auto start = std::chrono::steady_clock::now();
  pty.type(keys);
  EXPECT_TRUE(pty.wait_for(kQuestion, within, before)) << pty.output();
  if (took != nullptr)
    *took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  pty.type(answer + "\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
  return render_screen(pty.output());
}

/// The screen's lines from the chosen address to the summary heading: the
/// messages of the sweep, without empty lines and ping's warning.
std::vector<std::string> sweep_messages(const Screen& screen) {
  std::vector<std::string> messages;
  bool in_sweep = false;
  for (const std::string& line : screen) {
    if (line.rfind("IP адрес сетевого адаптера компьютера:", 0) == 0)
      in_sweep = true;
    else if (line == "Обнаруженные контроллеры:" || line.rfind("Опрос прерван:", 0) == 0)
      break;
    else if (in_sweep && !line.empty() && line.rfind("ping6: Warning:", 0) != 0)
      messages.push_back(line);
  }
  return sorted(messages);
}

/// The status lines between the summary heading and the first empty row;
/// the rows of a line the tool broke (its further rows begin with two
/// blanks) joined by LF.
std::vector<std::string> summary(const Screen& screen) {
  auto at = std::find(screen.begin(), screen.end(), "Обнаруженные контроллеры:");
  if (at == screen.end())
    return {"(no summary)"};
  std::vector<std::string> lines;
  for (++at; at != screen.end() && !at->empty(); ++at) {
    if (at->rfind("  ", 0) == 0 && !lines.empty())
      lines.back() += "\n" + *at;
    else
      lines.push_back(*at);
  }
  return lines;
}

bool shows(const Screen& screen, const std::string& line) {
  return std::find(screen.begin(), screen.end(), line) != screen.end();
}

// The screen's last lines: the fixed page addresses and the answered
// question, as after any sweep.
void expect_tail(Screen screen, const std::string& answer) {
  while (!screen.empty() && screen.back().empty())
    screen.pop_back();  // the line end typed after the answer
  ASSERT_GE(screen.size(), 5u);
  EXPECT_EQ(Screen(screen.end() - 5, screen.end()),
            (Screen{"Адрес FBD программирования: <ip_адрес>/get_local_file/fbd.html",
                    "Адрес для доступа к меню: <ip_адрес>/get_local_file/mal.html",
                    "Адрес для диспетчеризации: <ip_адрес>", "", kQuestion + answer}));
}

/// The progress texts a terminal received, each between its CR and ESC [ K,
/// and marked "(stays)" unless the next bytes replace or erase it.
std::vector<std::string> progress_texts(const std::string& out) {
  std::vector<std::string> texts;
  for (size_t at = out.find(kProgress); at != std::string::npos;
       at = out.find(kProgress, at + 1)) {
    const size_t end = out.find("\x1b[K", at);
    texts.push_back(out.substr(at + 1, end == std::string::npos ? end : end - at - 1));
    if (end == std::string::npos || (out.compare(end + 3, 4, "\r\x1b[K") != 0 &&
                                     out.compare(end + 3, kProgress.size(), kProgress) != 0))
      texts.back() += " (stays)";
  }
  return texts;
}

/// The digit K of the last progress text "Опрос узлов: K из M".
int last_position(const std::string& out) {
  const size_t last = out.rfind(kProgress);
  return last == std::string::npos ? 0 : out[last + kProgress.size()] - '0';
}

/// Two controllers and two nodes that never answer.
struct InterruptLab {
  testutil::Lab lab_{"eth0 192.168.1.20/24",
                     {"c1 --record --body '192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a S1'",
                      "c2 --record --body '10.0.0.5 255.0.0.0 0 K2 10.0.0.5 a S2'",
                      "s1 --record --mode hang", "s2 --record --mode hang"}};
  testutil::Lab& lab() { return lab_; }
};

class Interrupt : public testutil::LabSuite<InterruptLab> {
 protected:
  /// Of the summary lines `c1` and `c2`, those of the controllers that the
  /// run has queried, told by their simulators' records.
  static std::vector<std::string> queried(const std::string& c1, const std::string& c2) {
    std::vector<std::string> lines;
    if (!lab_->log("c1").empty())
      lines.push_back(c1);
    if (!lab_->log("c2").empty())
      lines.push_back(c2);
    return sorted(lines);
  }
};

// The progress line, only where standard output and standard error are
// one terminal, at two widths: each progress text is replaced or erased
// before any other byte, and none is wider than the terminal less three
// columns (so neither it nor the echo of a Ctrl-C after it wraps and leaves
// a row behind). Behind "| cat" standard output reaches the screen at
// times the tool cannot know, where a progress line would wipe a message;
// with either stream in a file there is none either, no row is left empty
// for one, and the file gets exactly what a pipe would.
TEST_F(Interrupt, TheProgressLineOnlyWhereItCoversNothing) {
  const std::string full = " (Ctrl-C — итог по опрошенным)", timeout = "error:recv timeout";
  struct Case {
    std::string what;
    unsigned short columns;
    std::string tail;  // of each progress text after "K из 5"; none: ""
    std::vector<std::string> summary, through;
    bool out_to_file, err_to_file;
  } cases[] = {
      {"both on the terminal", 200, full, {kC1, kC2}, {}, false, false},
      {"both on the terminal", 40, " (Ctrl-C — итог по", {kC1at40, kC2at40}, {}, false, false},
      {"standard output through cat", 200, "", {kC1, kC2}, {"cat"}, false, false},
      {"standard output into a file", 200, "", {}, {}, true, false},
      {"standard error into a file", 200, "", {kC1, kC2}, {}, false, true},
      {"both into files", 200, "", {}, {}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what + " at " + std::to_string(c.columns));
    testutil::ToolRunner tool(*lab_);
    testutil::Launch l = tool.launch();
    const std::string out_file = tool.out_dir() + "/out", err_file = tool.out_dir() + "/err";
    l.stdout_through = c.through;
    l.stdout_file = c.out_to_file ? out_file : "";
    l.stderr_file = c.err_to_file ? err_file : "";
    testutil::PtySession pty(l, c.columns);
    // The answer, typed at once: the question may be in a file. (The
    // terminal echoes it at the top.)
    pty.type("\n");
    EXPECT_EQ(pty.wait_exit(30), 0) << testing::PrintToString(pty.output());
    const std::string& out = pty.output();
    // The rows the tool broke are rows at any width; at 200 columns no
    // other text of the run wraps.
    Screen screen = render_screen(out);

    std::vector<std::string> texts;
    for (int k = 1; k <= 5 && !c.tail.empty(); ++k)
      texts.push_back("Опрос узлов: " + std::to_string(k) + " из 5" + c.tail);
    EXPECT_EQ(progress_texts(out), texts) << testing::PrintToString(out);
    for (const std::string& line : render_screen(out, c.columns))
      EXPECT_EQ(line.find("Опрос узлов"), std::string::npos) << line;
    if (c.err_to_file) {
      EXPECT_EQ(testutil::without_ping_warning(testutil::read_file(err_file)), kRefused + "\n");
    }

    if (c.out_to_file) {
      std::string file = testutil::read_file(out_file);
      ASSERT_TRUE(testutil::remove_each(file, {timeout, timeout, kC1 + "\n", kC2 + "\n"})) << file;
      EXPECT_EQ(file, testutil::kAdapterAndAddress + testutil::kHeading + testutil::kTail);
      // Standard error alone on the screen: no empty rows between.
      screen.erase(std::remove_if(screen.begin(), screen.end(),
                                  [](const std::string& row) {
                                    return row.rfind("ping6: Warning:", 0) == 0;
                                  }),
                   screen.end());
      EXPECT_EQ(screen, (c.err_to_file ? Screen{"", ""} : Screen{"", kRefused, ""}));
      continue;
    }
    EXPECT_EQ(sorted(summary(screen)), sorted(c.summary));
    if (!c.tail.empty()) {
      EXPECT_EQ(sweep_messages(screen), sorted({kRefused, timeout, timeout}));
      expect_tail(screen, "");
    } else {
      // Every message reaches the screen, behind cat too (without line
      // ends of their own, they may run together).
      std::string all;
      for (const std::string& row : screen)
        all += row + "\n";
      EXPECT_TRUE(testutil::remove_each(all, {timeout, timeout})) << all;
      EXPECT_EQ(all.find(timeout), std::string::npos) << all;
      EXPECT_EQ(all.find(kRefused) != std::string::npos, !c.err_to_file) << all;
    }
  }
}

// Ctrl-C while a silent node holds the sweep, on a terminal of 40
// columns: the query is abandoned without a message, nothing further is
// queried, and what was gathered is summed up at once. The "^C" that the
// terminal echoes after the progress text stays on its row and goes with
// it.
TEST_F(Interrupt, CtrlCDuringAStalledQueryKeepsWhatWasFound) {
  testutil::ToolRunner tool(*lab_);
  testutil::PtySession pty(tool.launch(), 40);
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  // A progress text that stays for a second shows a silent node in
  // flight; wait for the last one, so that controllers were asked before.
  for (int stalls = 0; stalls < 2; ++stalls) {
    if (stalls > 0) {  // the next query has started
      ASSERT_TRUE(pty.wait_for(kProgress, 10, pty.output().rfind(kProgress) + 1));
    }
    ASSERT_TRUE(pty.wait_quiet(1.0, 15));
    if (!lab_->log("c1").empty() && !lab_->log("c2").empty())
      break;
  }
  const int position = last_position(pty.output());
  ASSERT_GE(position, 1);
  double took = 0;
  const Screen screen = answer_the_question(pty, "\x03", 3, "", &took);
  EXPECT_LT(took, 1.0);

  const std::string said = "Опрос прерван: опрошено " + std::to_string(position - 1) +
                           " из 5 адресов.";
  auto at = std::find(screen.begin(), screen.end(), said);
  ASSERT_NE(at, screen.end()) << pty.output();
  EXPECT_TRUE(at != screen.begin() && (at - 1)->empty());
  EXPECT_EQ(*(at + 1), "");
  EXPECT_EQ(*(at + 2), "Обнаруженные контроллеры:");
  EXPECT_EQ(sorted(summary(render_screen(pty.output(), 40))), queried(kC1at40, kC2at40));
  EXPECT_FALSE(queried(kC1, kC2).empty());
  // No message for the abandoned query: only what the queries before it
  // printed (the computer's refusal and at most one timeout).
  for (const std::string& line : sweep_messages(screen))
    EXPECT_TRUE(line == kRefused || line == "error:recv timeout") << line;
  EXPECT_LE(sweep_messages(screen).size(), static_cast<size_t>(position - 1));
  for (const std::string& line : render_screen(pty.output(), 40))
    EXPECT_EQ(line.find("Опрос узлов"), std::string::npos) << line;
  expect_tail(screen, "");
}

// Ctrl-C during the ping: ping6 gets it too, prints what it has and ends;
// no address is queried, and the summary is empty.
TEST_F(Interrupt, CtrlCDuringThePing) {
  const size_t c1_before = lab_->log("c1").size();
  testutil::ToolRunner tool(*lab_);
  const std::string written = tool.out_dir() + "/written.html";
  testutil::Launch l = tool.launch();
  l.after = [&written] {
    testutil::write_file(written, testutil::read_file("/tmp/disc734.html"));
  };
  testutil::PtySession pty(l);
  ASSERT_TRUE(pty.wait_for("mask: 255.255.255.0", 10)) << pty.output();
  pty.wait_quiet(0.5, 1.0);  // the ping is under way
  const Screen screen = answer_the_question(pty, "\x03", 3, "y");
  // Whoever answered before the Ctrl-C: 0 to 5 addresses.
  int said = 0;
  for (int m = 0; m <= 5; ++m)
    said += shows(screen, "Опрос прерван: опрошено 0 из " + std::to_string(m) + " адресов.");
  EXPECT_EQ(said, 1) << pty.output();
  EXPECT_EQ(summary(screen), std::vector<std::string>{});
  EXPECT_EQ(lab_->log("c1").size(), c1_before);
  expect_tail(screen, "y");
  // The answered question still writes the page, with no row. (The
  // browser it starts in the background is gone with the terminal's
  // session, which ends with the run here.)
  EXPECT_EQ(testutil::read_file(written), testutil::expected_page(""));
}

// Started with SIGINT ignored (nohup, "contr_discovery &" in a script), the
// tool leaves it so: a Ctrl-C during a stalled query or at the question,
// meant for some other job, changes nothing.
TEST_F(Interrupt, IgnoredCtrlCStaysIgnored) {
  testutil::ToolRunner tool(*lab_);
  testutil::Launch l = tool.launch();
  l.ignore_sigint = true;
  testutil::PtySession pty(l);
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  ASSERT_TRUE(pty.wait_quiet(1.0, 15));  // a silent node holds the sweep
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
  pty.type("\x03");
  EXPECT_EQ(pty.wait_exit(0.5), -1) << "ended by a Ctrl-C it ignores";
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());

  const Screen screen = render_screen(pty.output());
  for (const std::string& line : screen)
    EXPECT_EQ(line.find("Опрос прерван"), std::string::npos) << line;
  EXPECT_EQ(sweep_messages(screen),
            sorted({kRefused, "error:recv timeout", "error:recv timeout"}));
  EXPECT_EQ(sorted(summary(screen)), sorted({kC1, kC2}));
  // The terminal echoes the Ctrl-C typed at the question.
  expect_tail(screen, "^C");
}

// Ctrl-C while a connection is still pending (a node that drops SYNs): the
// attempt is abandoned without a message, like a stalled exchange.
TEST(InterruptConnect, CtrlCWhileConnectingSaysNothingOfIt) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24", {"d1 --mode drop"});
  ASSERT_TRUE(lab.ok()) << lab.error();
  testutil::ToolRunner tool(lab);
  testutil::PtySession pty(tool.launch());
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  // The computer's own address is refused at once; what stays is the
  // attempt on the dropping node, waiting for its 2 s bound.
  ASSERT_TRUE(pty.wait_quiet(0.5, 5));
  ASSERT_NE(testutil::run({.argv = {"ss", "-Htn", "state", "syn-sent"}, .netns = lab.host_ns()})
                .out,
            "") << "no connection pending";
  const int position = last_position(pty.output());
  const Screen screen = answer_the_question(pty, "\x03", 1.5, "");
  EXPECT_TRUE(shows(screen, "Опрос прерван: опрошено " + std::to_string(position - 1) +
                                " из 2 адресов.")) << pty.output();
  // At most the refusal of the computer's own address, queried before.
  std::vector<std::string> said;
  for (const std::string& line : screen)
    if (line.rfind("error:", 0) == 0)
      said.push_back(line);
  EXPECT_EQ(said, std::vector<std::string>(position - 1, kRefused));
}

// A query that ended on its own counts as made, also when Ctrl-C comes the
// moment after: here the first connect is refused (injected by strace) and
// the refusal is held back 1.5 s, while Ctrl-C is typed.
TEST_F(Interrupt, AQueryThatEndedOnItsOwnCounts) {
  CONTR_REQUIRE(testutil::missing("strace"));
  testutil::ToolRunner tool(*lab_);
  // The tool alone is traced (no -f): ping6's own connects stay real.
  // LeakSanitizer cannot work under ptrace.
  tool.launch_under({"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq", "-o",
                     "/dev/null", "-e", "trace=connect", "-e",
                     "inject=connect:error=ECONNREFUSED:delay_exit=1500000:when=1"});
  testutil::PtySession pty(tool.launch());
  ASSERT_TRUE(pty.wait_for(kProgress + "1 из 5", 30)) << pty.output();
  pty.wait_quiet(0.3, 1.0);
  const Screen screen = answer_the_question(pty, "\x03", 5, "");
  EXPECT_EQ(sweep_messages(screen), std::vector<std::string>{kRefused});
  EXPECT_TRUE(shows(screen, "Опрос прерван: опрошено 1 из 5 адресов.")) << pty.output();
  EXPECT_EQ(summary(screen), std::vector<std::string>{});
}

// What a device sent fits the terminal the operator sees, standard
// output's or, behind "| tee" or "| cat", standard error's: a reply
// without a header block is quoted in pieces that, with "> " and a "...",
// never wrap into a row of their own; a status line wider than the
// terminal is broken, and its further rows begin with two blanks, so that
// the name's forged status line cannot begin a row.
TEST(NarrowTerminal, DeviceTextFitsTheScreen) {
  REQUIRE_NETNS();
  const std::string name = "Насосная-3" + testutil::repeated("´", 36) +
                           "192.168.1.77¸'контроллер¸доступен'¸Котельная-1";
  testutil::Lab lab("eth0 192.168.1.20/24",
                    {"d1 --mode raw --body '" + std::string(70, 'a') + "'",
                     "c1 --body \"192.168.1.5 255.255.255.0 0 " + name +
                         " 192.168.1.5 a Отопление\""});
  ASSERT_TRUE(lab.ok()) << lab.error();
  const std::string at80 =
      "192.168.1.5 'контроллер доступен' Насосная-3" + testutil::repeated("´", 36) +
      "\n  192.168.1.77¸'контроллер¸доступен'¸Котельная-1\tОтопление";
  const std::string at40 = "192.168.1.5 'контроллер доступен' Насосн\n  ая-3" +
                           testutil::repeated("´", 34) +
                           "\n  ´´192.168.1.77¸'контроллер¸доступен'¸К\n  отельная-1\tОтопление";
  struct Case {
    std::string what;
    unsigned short columns;
    std::vector<std::string> through;
    bool err_to_file;
    size_t piece;
    std::string status;
  } cases[] = {
      {"both on the terminal", 40, {}, false, 35, at40},
      {"both on the terminal", 80, {}, false, 64, at80},
      {"standard output into tee", 40, {"tee", "FILE"}, false, 35, at40},
      {"standard output into cat", 80, {"cat"}, false, 64, at80},
      {"standard error into a file", 40, {}, true, 35, at40},
      {"a terminal of 66 columns", 66, {}, false, 61, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what + " at " + std::to_string(c.columns));
    testutil::ToolRunner tool(lab);
    const std::string file = tool.out_dir() + "/file";
    testutil::Launch l = tool.launch();
    l.stdout_through = c.through;
    std::replace(l.stdout_through.begin(), l.stdout_through.end(), std::string("FILE"), file);
    if (c.err_to_file)
      l.stderr_file = file;
    testutil::PtySession pty(l, c.columns);
    answer_the_question(pty, "", 30, "");
    const Screen rows = render_screen(pty.output(), c.columns);
    const Screen dump = {"Заголовок не найден.", "> " + std::string(c.piece, 'a'),
                         "> " + std::string(70 - c.piece, 'a')};
    EXPECT_NE(std::search(rows.begin(), rows.end(), dump.begin(), dump.end()), rows.end())
        << testing::PrintToString(rows);
    if (c.through.size() == 2) {
      EXPECT_NE(testutil::read_file(file).find(dump[1] + "\n" + dump[2] + "\n"),
                std::string::npos);
    }
    if (!c.status.empty()) {
      const std::vector<std::string> lines = summary(rows);
      EXPECT_NE(std::find(lines.begin(), lines.end(), c.status), lines.end())
          << testing::PrintToString(rows);
    }
  }
}

}  // namespace
