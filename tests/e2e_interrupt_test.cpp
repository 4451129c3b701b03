// The operator's terminal during a long sweep: the progress line, and Ctrl-C
// that ends the sweep but keeps what was found. The real binary runs on a
// pseudo-terminal in a lab of two controllers and two nodes that accept and
// never answer (each costs the 5 s exchange bound).

#include <algorithm>
#include <chrono>
#include <sstream>

#include "lab_segment.h"
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

TEST_F(Interrupt, ProgressIsShownAndLeavesNoTrace) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  testutil::PtySession pty(tool.command());
  ASSERT_TRUE(pty.wait_for(kQuestion, 30)) << pty.output();
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(10), 0) << testing::PrintToString(pty.output());
  const std::string& out = pty.output();

  // Five addresses: the computer, two controllers, two silent nodes.
  for (int k = 1; k <= 5; ++k)
    EXPECT_NE(out.find(kProgress + std::to_string(k) + " из 5" + kProgressTail),
              std::string::npos)
        << k;
  // Each progress text is replaced by the next one or erased before any
  // other byte reaches the terminal.
  for (size_t at = out.find(kProgress); at != std::string::npos;
       at = out.find(kProgress, at + 1)) {
    const size_t end = out.find(kProgressTail, at);
    ASSERT_NE(end, std::string::npos);
    const std::string next = out.substr(end + kProgressTail.size(), 64);
    EXPECT_TRUE(next.rfind("\r\x1b[K", 0) == 0 || next.rfind(kProgress, 0) == 0)
        << "after a progress text: " << testing::PrintToString(next);
  }

  const std::vector<std::string> screen = testutil::render_screen(out);
  for (const std::string& line : screen)
    EXPECT_EQ(line.find("Опрос узлов"), std::string::npos) << line;
  // Every message on a line of its own, none overwritten or run together.
  EXPECT_EQ(sorted(sweep_messages(screen)),
            sorted({"error:connect: Connection refused", "error:recv timeout",
                    "error:recv timeout"}));
  EXPECT_EQ(sorted(summary(screen)), sorted({kC1, kC2}));
  expect_tail(screen, "");
}

// Ctrl-C while a silent node holds the sweep: the query is abandoned
// without a message, nothing further is queried, and what was gathered is
// summed up at once.
TEST_F(Interrupt, CtrlCDuringAStalledQueryKeepsWhatWasFound) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  testutil::ToolRunner tool(*lab_);
  testutil::PtySession pty(tool.command());
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
  for (const std::string& line : screen)
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

}  // namespace
