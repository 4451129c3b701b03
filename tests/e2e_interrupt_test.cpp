// The operator's terminal during a long sweep: the progress line, and Ctrl-C
// that ends the sweep but keeps what was found. The real binary runs on a
// pseudo-terminal in a lab of two controllers and two nodes that accept and
// never answer (each costs the 5 s exchange bound).

#include <algorithm>
#include <chrono>
#include <sstream>

#include "lab_segment.h"
#include "ping6.h"
#include "pty_session.h"
#include "test_util.h"

namespace {

const std::string kC1 = "192.168.1.10 'контроллер доступен' K1\tS1";
const std::string kC2 =
    "10.0.0.5 'нет доступа к контроллеру' (ip_pc & mask_contr) != "
    "(ip_contr & mask_contr) K2\tS2";
const std::string kProgress = "\rОпрос узлов: ";
const std::string kProgressTail = " (Ctrl-C — итог по опрошенным)\x1b[K";
using testutil::kQuestion;

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class Interrupt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testutil::netns_unavailable().empty())
      return;
    lab_ = new testutil::Lab(
        "eth0 192.168.1.20/24",
        {"c1 --record --body '192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a S1'",
         "c2 --record --body '10.0.0.5 255.0.0.0 0 K2 10.0.0.5 a S2'",
         "s1 --record --mode hang", "s2 --record --mode hang"});
  }
  static void TearDownTestSuite() {
    delete lab_;
    lab_ = nullptr;
  }

  /// The screen's lines from the chosen address to the summary heading:
  /// the messages of the sweep, without empty lines and ping's warning.
  static std::vector<std::string> sweep_messages(
      const std::vector<std::string>& screen) {
    std::vector<std::string> messages;
    bool in_sweep = false;
    for (const std::string& line : screen) {
      if (line.rfind("IP адрес сетевого адаптера компьютера:", 0) == 0) {
        in_sweep = true;
      } else if (line == "Обнаруженные контроллеры:" ||
                 line.rfind("Опрос прерван:", 0) == 0) {
        break;
      } else if (in_sweep && !line.empty() &&
                 line.rfind("ping6: Warning:", 0) != 0) {
        messages.push_back(line);
      }
    }
    return messages;
  }

  /// The status lines between the heading and the first empty line.
  static std::vector<std::string> summary(
      const std::vector<std::string>& screen) {
    std::vector<std::string> lines;
    auto at = std::find(screen.begin(), screen.end(),
                        "Обнаруженные контроллеры:");
    if (at == screen.end())
      return {"(no summary)"};
    for (++at; at != screen.end() && !at->empty(); ++at)
      lines.push_back(*at);
    return lines;
  }

  /// The summary lines of the controllers that the run has queried, told
  /// by their simulators' records.
  static std::vector<std::string> queried_controllers() {
    std::vector<std::string> lines;
    if (!lab_->log("c1").empty())
      lines.push_back(kC1);
    if (!lab_->log("c2").empty())
      lines.push_back(kC2);
    return sorted(lines);
  }

  static testutil::Lab* lab_;
};

testutil::Lab* Interrupt::lab_ = nullptr;

// The screen's last lines: the fixed page addresses and the answered
// question, as after any sweep.
void expect_tail(std::vector<std::string> screen, const std::string& answer) {
  // The line end typed after the answer.
  while (!screen.empty() && screen.back().empty())
    screen.pop_back();
  ASSERT_GE(screen.size(), 5u);
  const std::vector<std::string> tail(screen.end() - 5, screen.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "Адрес FBD программирования: <ip_адрес>/get_local_file/fbd.html",
                      "Адрес для доступа к меню: <ip_адрес>/get_local_file/mal.html",
                      "Адрес для диспетчеризации: <ip_адрес>", "",
                      kQuestion + answer}));
}

/// The progress texts a terminal received, each between its CR and ESC [ K.
std::vector<std::string> progress_texts(const std::string& out) {
  std::vector<std::string> texts;
  for (size_t at = out.find(kProgress); at != std::string::npos;
       at = out.find(kProgress, at + 1)) {
    const size_t end = out.find("\x1b[K", at);
    texts.push_back(out.substr(at + 1, end == std::string::npos
                                           ? std::string::npos
                                           : end - at - 1));
  }
  return texts;
}

// The whole sweep on terminals of two widths: every progress text is
// replaced or erased before any other byte, none is wider than the
// terminal less three columns (so neither it nor the echo of a Ctrl-C
// after it wraps and leaves a row behind), and the final screen holds
// every message on a line of its own.
TEST_F(Interrupt, ProgressIsShownAndLeavesNoTrace) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  struct Width {
    unsigned short columns;
    std::string tail;  // of each progress text, after "K из 5"
  } widths[] = {
      {200, " (Ctrl-C — итог по опрошенным)"},
      {40, " (Ctrl-C — итог по"},  // 37 characters in all
  };
  for (const Width& w : widths) {
    const unsigned short columns = w.columns;
    SCOPED_TRACE(std::to_string(columns) + " columns");
    testutil::ToolRunner tool(*lab_);
    testutil::PtySession pty(tool.command(), columns);
    ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
    pty.type("\n");
    EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
    const std::string& out = pty.output();

    // Five addresses: the computer, two controllers, two silent nodes.
    std::vector<std::string> expected;
    for (int k = 1; k <= 5; ++k)
      expected.push_back("Опрос узлов: " + std::to_string(k) + " из 5" +
                         w.tail);
    EXPECT_EQ(progress_texts(out), expected);
    // Each progress text is replaced by the next one or erased before any
    // other byte reaches the terminal.
    for (size_t at = out.find(kProgress); at != std::string::npos;
         at = out.find(kProgress, at + 1)) {
      const size_t end = out.find("\x1b[K", at);
      ASSERT_NE(end, std::string::npos);
      const std::string next = out.substr(end + 3, 64);
      EXPECT_TRUE(next.rfind("\r\x1b[K", 0) == 0 ||
                  next.rfind(kProgress, 0) == 0)
          << "after a progress text: " << testing::PrintToString(next);
    }

    // Nothing of it stays on the screen of that width.
    for (const std::string& line : testutil::render_screen(out, columns))
      EXPECT_EQ(line.find("Опрос узлов"), std::string::npos) << line;
    // Every message on a line of its own, none overwritten or run together.
    const std::vector<std::string> screen = testutil::render_screen(out);
    EXPECT_EQ(sorted(sweep_messages(screen)),
              sorted({"error:connect: Connection refused",
                      "error:recv timeout", "error:recv timeout"}));
    EXPECT_EQ(sorted(summary(screen)), sorted({kC1, kC2}));
    expect_tail(screen, "");
  }
}

// Standard output on the terminal, standard error into a file: the progress
// line belongs to standard error's terminal, so none is written at all.
TEST_F(Interrupt, NoProgressIntoAFile) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  const std::string log = tool.out_dir() + "/stderr";
  testutil::PtySession pty(tool.command("true", "2>" + log));
  ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
  EXPECT_EQ(testutil::without_ping_warning(testutil::read_file(log)),
            "error:connect: Connection refused\n");
  EXPECT_EQ(pty.output().find("Опрос узлов"), std::string::npos);
  EXPECT_EQ(sorted(summary(testutil::render_screen(pty.output()))),
            sorted({kC1, kC2}));
}

// Ctrl-C while a silent node holds the sweep, on a terminal of 40
// columns: the query is abandoned without a message, nothing further is
// queried, and what was gathered is summed up at once. The "^C" that the
// terminal echoes after the progress text stays on its row and goes with
// it.
TEST_F(Interrupt, CtrlCDuringAStalledQueryKeepsWhatWasFound) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  testutil::PtySession pty(tool.command(), 40);
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  // A progress text that stays for a second shows a silent node in
  // flight; wait for the last one, so that controllers were asked before.
  int position = 0;
  size_t last = 0;
  for (int stalls = 0; stalls < 2; ++stalls) {
    if (stalls > 0) {  // the next query has started
      ASSERT_TRUE(pty.wait_for(kProgress, 10, last + 1));
    }
    ASSERT_TRUE(pty.wait_quiet(1.0, 15));
    const std::string& out = pty.output();
    last = out.rfind(kProgress);
    // "\rОпрос узлов: K из 5": K is one digit here.
    const std::string digit = out.substr(last + kProgress.size(), 1);
    ASSERT_NE(std::string("12345").find(digit), std::string::npos) << digit;
    position = std::stoi(digit);
    if (!lab_->log("c1").empty() && !lab_->log("c2").empty())
      break;
  }
  const size_t before = pty.output().size();
  const auto start = std::chrono::steady_clock::now();
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 3, before)) << pty.output();
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  EXPECT_LT(took.count(), 1.0);
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());

  const std::vector<std::string> screen =
      testutil::render_screen(pty.output());
  const std::string said = "Опрос прерван: опрошено " +
                           std::to_string(position - 1) + " из 5 адресов.";
  auto at = std::find(screen.begin(), screen.end(), said);
  ASSERT_NE(at, screen.end()) << pty.output();
  EXPECT_TRUE(at != screen.begin() && (at - 1)->empty());
  EXPECT_EQ(*(at + 1), "");
  EXPECT_EQ(*(at + 2), "Обнаруженные контроллеры:");
  EXPECT_EQ(sorted(summary(screen)), queried_controllers());
  EXPECT_FALSE(queried_controllers().empty());
  // No message for the abandoned query: only what the queries before it
  // printed (the computer's refusal and at most one timeout).
  for (const std::string& line : sweep_messages(screen))
    EXPECT_TRUE(line == "error:connect: Connection refused" ||
                line == "error:recv timeout")
        << line;
  EXPECT_LE(sweep_messages(screen).size(), static_cast<size_t>(position - 1));
  for (const std::string& line : testutil::render_screen(pty.output(), 40))
    EXPECT_EQ(line.find("Опрос узлов"), std::string::npos) << line;
  expect_tail(screen, "");
}

// Ctrl-C during the ping: ping6 gets it too, prints what it has and ends;
// no address is queried, and the summary is empty.
TEST_F(Interrupt, CtrlCDuringThePing) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  const size_t c1_before = lab_->log("c1").size();
  testutil::ToolRunner tool(*lab_);
  const std::string written = tool.out_dir() + "/written.html";
  testutil::PtySession pty(
      tool.command("true", "", "cp /tmp/disc734.html " + written));
  ASSERT_TRUE(pty.wait_for("mask: 255.255.255.0", 10)) << pty.output();
  pty.wait_quiet(0.5, 1.0);  // the ping is under way
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 3)) << pty.output();
  pty.type("y\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
  const std::vector<std::string> screen =
      testutil::render_screen(pty.output());
  // Whoever answered before the Ctrl-C: 0 to 5 addresses.
  std::vector<std::string> said;
  for (int m = 0; m <= 5; ++m)
    said.push_back("Опрос прерван: опрошено 0 из " + std::to_string(m) +
                   " адресов.");
  EXPECT_TRUE(std::any_of(screen.begin(), screen.end(),
                          [&](const std::string& line) {
                            return std::find(said.begin(), said.end(), line) !=
                                   said.end();
                          }))
      << pty.output();
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
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  // What a shell starts with SIGINT ignored keeps it ignored through exec.
  testutil::PtySession pty("sh -c 'trap \"\" INT; eval \"$0\"' " +
                           shell_quote(tool.command()));
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  ASSERT_TRUE(pty.wait_quiet(1.0, 15));  // a silent node holds the sweep
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
  pty.type("\x03");
  EXPECT_EQ(pty.wait_exit(0.5), -1) << "ended by a Ctrl-C it ignores";
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());

  const std::vector<std::string> screen =
      testutil::render_screen(pty.output());
  for (const std::string& line : screen)
    EXPECT_EQ(line.find("Опрос прерван"), std::string::npos) << line;
  EXPECT_EQ(sorted(sweep_messages(screen)),
            sorted({"error:connect: Connection refused", "error:recv timeout",
                    "error:recv timeout"}));
  EXPECT_EQ(sorted(summary(screen)), sorted({kC1, kC2}));
  // The terminal echoes the Ctrl-C typed at the question.
  expect_tail(screen, "^C");
}

// Ctrl-C while a connection is still pending (a node that drops SYNs): the
// attempt is abandoned without a message, like a stalled exchange.
TEST(InterruptConnect, CtrlCWhileConnectingSaysNothingOfIt) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24", {"d1 --mode drop"});
  ASSERT_TRUE(lab.ok());
  testutil::ToolRunner tool(lab);
  testutil::PtySession pty(tool.command());
  ASSERT_TRUE(pty.wait_for(kProgress, 30)) << pty.output();
  // The computer's own address is refused at once; what stays is the
  // attempt on the dropping node, waiting for its 2 s bound.
  ASSERT_TRUE(pty.wait_quiet(0.5, 5));
  ASSERT_NE(testutil::sh_out("ip netns exec " + lab.host_ns() +
                             " ss -Htn state syn-sent"),
            "")
      << "no connection pending";
  const std::string out = pty.output();
  const size_t last = out.rfind(kProgress);
  const int position = std::stoi(out.substr(last + kProgress.size(), 1));
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 1.5, out.size())) << pty.output();
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());

  const std::vector<std::string> screen =
      testutil::render_screen(pty.output());
  EXPECT_NE(std::find(screen.begin(), screen.end(),
                      "Опрос прерван: опрошено " +
                          std::to_string(position - 1) + " из 2 адресов."),
            screen.end())
      << pty.output();
  // At most the refusal of the computer's own address, queried before.
  std::vector<std::string> said;
  for (const std::string& line : screen)
    if (line.rfind("error:", 0) == 0)
      said.push_back(line);
  EXPECT_EQ(said, std::vector<std::string>(
                      position - 1, "error:connect: Connection refused"));
}

// A query that ended on its own counts as made, also when Ctrl-C comes the
// moment after: here the first connect is refused (injected by strace) and
// the refusal is held back 1.5 s, while Ctrl-C is typed.
TEST_F(Interrupt, AQueryThatEndedOnItsOwnCounts) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("strace"));
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  // The tool alone is traced (no -f): ping6's own connects stay real.
  // LeakSanitizer cannot work under ptrace.
  tool.launch_under(
      "env ASAN_OPTIONS=detect_leaks=0 strace -qq -o /dev/null -e "
      "trace=connect -e "
      "inject=connect:error=ECONNREFUSED:delay_exit=1500000:when=1 ");
  testutil::PtySession pty(tool.command());
  ASSERT_TRUE(pty.wait_for(kProgress + "1 из 5", 30)) << pty.output();
  pty.wait_quiet(0.3, 1.0);
  pty.type("\x03");
  ASSERT_TRUE(pty.wait_for(kQuestion, 5)) << pty.output();
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
  const std::vector<std::string> screen =
      testutil::render_screen(pty.output());
  EXPECT_EQ(sweep_messages(screen),
            std::vector<std::string>{"error:connect: Connection refused"});
  EXPECT_NE(std::find(screen.begin(), screen.end(),
                      "Опрос прерван: опрошено 1 из 5 адресов."),
            screen.end())
      << pty.output();
  EXPECT_EQ(summary(screen), std::vector<std::string>{});
}

// With standard error on a pipe nothing of the progress is written, and the
// run's bytes are those of any sweep.
TEST_F(Interrupt, NoProgressWithoutATerminal) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  const testutil::ProcessResult r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  std::string out = r.out;
  ASSERT_TRUE(testutil::remove_each(
      out, {"error:recv timeout", "error:recv timeout"}));
  const std::vector<std::string> printed = testutil::summary_lines(out);
  EXPECT_EQ(sorted(printed), sorted({kC1, kC2}));
  EXPECT_EQ(out, testutil::kAdapterAndAddress + testutil::kHeading +
                     printed[0] + "\n" + printed[1] + "\n" + testutil::kTail);
  EXPECT_EQ(testutil::without_ping_warning(r.err),
            "error:connect: Connection refused\n");
}

// A reply without a header block is quoted in pieces that fit the terminal
// the operator sees, so that with "> " and a "..." no piece wraps into a
// row of its own: standard output's terminal, or, with standard output in
// a pipe ("| tee run.log"), standard error's.
TEST(NarrowTerminal, AHeaderlessReplyIsQuotedInPiecesThatFit) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24",
                    {"d1 --mode raw --body '" + std::string(70, 'a') + "'"});
  ASSERT_TRUE(lab.ok());
  struct Case {
    std::string what;
    unsigned short columns;
    std::string redirects;  // "FILE" stands for a file of the run's
    size_t piece;
    bool in_file;  // the dump is looked for in FILE, not on the terminal
  } cases[] = {
      {"both on the terminal", 40, "", 35, false},
      {"standard output into tee", 40, "| tee FILE", 35, true},
      {"standard error into a file", 40, "2>FILE", 35, false},
      {"a terminal of 66 columns", 66, "", 61, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ToolRunner tool(lab);
    const std::string file = tool.out_dir() + "/file";
    std::string redirects = c.redirects;
    if (const size_t at = redirects.find("FILE"); at != std::string::npos)
      redirects.replace(at, 4, file);
    testutil::PtySession pty(tool.command("true", redirects), c.columns);
    ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
    pty.type("\n");
    EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
    // The terminal writes each LF as CR LF.
    const std::string eol = c.in_file ? "\n" : "\r\n";
    const std::string dump = "Заголовок не найден." + eol + "> " +
                             std::string(c.piece, 'a') + eol + "> " +
                             std::string(70 - c.piece, 'a') + eol;
    const std::string shown =
        c.in_file ? testutil::read_file(file) : pty.output();
    EXPECT_NE(shown.find(dump), std::string::npos)
        << testing::PrintToString(shown);
  }
}

}  // namespace
