// tools/lab reads node arguments as words and never runs them: the lab runs
// as root, and its config is text.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "lab.h"
#include "net.h"

namespace {

TEST(LabConfig, ShellTextInNodeArgumentsIsTakenLiterally) {
  REQUIRE_NETNS();
  const testutil::TempDir markers;
  const std::string marker = markers / "ran";
  const std::string body = "$(touch " + marker + "1);touch " + marker +
                           "2 `touch " + marker + "3` | x & y > z";
  {
    testutil::Lab lab("eth0 192.168.1.20/24",
                      {"literal --body '" + body + "'"});
    ASSERT_TRUE(lab.ok()) << lab.error();
    testutil::InNetns in(lab.host_ns());
    const testutil::ChildResult r = testutil::run_child("", [&] {
      std::string got;
      const bool ok = request_contr_net_info(lab.node("literal").address.c_str(), 0,
                                             lab.host_if().c_str(), got);
      return ok ? got : "(no answer)";
    });
    EXPECT_EQ(r.result, body);
  }
  for (const char* n : {"1", "2", "3"})
    EXPECT_NE(access((marker + n).c_str(), F_OK), 0) << n;
}

// A lab up that fails, wherever it fails, removes all it had built, stops
// every simulator it had started, and says which line or node it was at.
TEST(LabConfig, AFailedUpLeavesNothingBehind) {
  REQUIRE_NETNS();
  const std::string marker = testutil::unique_name();
  const testutil::TempDir dir;
  const std::string ran = dir / "ran";
  const std::string sim = "sim " + testutil::binary_dir() + "/controller_sim\n";
  // A simulator that starts and listens, marked so that it can be found.
  const std::string good = "node n1 --body '" + marker + "'\n";
  struct Case {
    std::string what, lines, says;
  } cases[] = {
      {"unknown line", sim + "host eth0\n" + good + "bogus line\n",
       "line 6: unknown config line: bogus line"},
      {"words with an open quote",
       sim + "host eth0\n" + good + "node open --body 'no end $(touch " +
           ran + ")\n",
       "line 6: node arguments not readable as words"},
      {"a host address ip refuses", sim + "host eth0 999.1.2.3/24\n" + good,
       ": building the switch and the host: 'ip -n"},
      {"a simulator that does not listen",
       sim + "host eth0\n" + good + "node n2 --mode nonesuch\n",
       "lab: node n2: controller_sim does not listen"},
  };
  for (const Case& c : cases) {
    const std::string prefix = testutil::unique_name();
    const std::string config = testutil::write_temp_file(
        "config", "# a comment\nprefix " + prefix + "\n" + c.lines);
    const testutil::Outcome r = testutil::run(
        {.argv = {testutil::source_dir() + "/tools/lab", "up", dir / "state", config}});
    EXPECT_NE(r.status, 0) << c.what;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << r.err;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns"))
      EXPECT_NE(entry.path().filename().string().rfind(prefix + "-", 0), 0u)
          << c.what << ": " << entry.path();
    EXPECT_EQ(testutil::output({"pgrep", "-f", "--", marker}), "") << c.what;
    EXPECT_NE(access(ran.c_str(), F_OK), 0) << c.what;
    unlink(config.c_str());
  }
}

bool netns_exists(const std::string& name) {
  return std::filesystem::exists("/run/netns/" + name);
}

/// Builds a lab of one node from `prefix_line` in STATE_DIR `state`; the
/// prefix it took.
std::string lab_up(const std::string& state, const std::string& prefix_line) {
  const std::string config = testutil::write_temp_file(
      "config", prefix_line + "sim " + testutil::binary_dir() +
                    "/controller_sim\nhost eth0\nnode n1 --no-sim\n");
  const int status = testutil::status({testutil::source_dir() + "/tools/lab", "up", state, config});
  unlink(config.c_str());
  std::string prefix = testutil::read_file(state + "/prefix");
  if (status != 0 || prefix.empty())
    return "(lab up failed)";
  prefix.pop_back();  // its line end
  return prefix;
}

/// Whether all three namespaces of the lab of `prefix` are there (1), none
/// (0), or some (-1).
int lab_there(const std::string& prefix) {
  int there = 0;
  for (const char* part : {"-h", "-s", "-1"})
    there += netns_exists(prefix + part);
  return there == 3 ? 1 : there == 0 ? 0 : -1;
}

// A lab removes only what it made: two labs without a prefix line each
// take one of their own, and a lab whose prefix begins like another's, or
// namespaces named as an older lab named its own, keep what they have.
TEST(LabConfig, ALabLeavesOtherLabsAlone) {
  REQUIRE_NETNS();
  const std::string mark = testutil::unique_name();
  const testutil::Netns others[] = {
      testutil::Netns("lab-" + mark + "-h"), testutil::Netns("lab-" + mark + "-1"),
      testutil::Netns(mark + "-x-h"), testutil::Netns(mark + "-7x")};
  const testutil::TempDir dir;
  const auto down = [&dir](const std::string& state) {
    return testutil::status({testutil::source_dir() + "/tools/lab", "down", dir / state});
  };

  const std::string a = lab_up(dir / "a", "");
  const std::string b = lab_up(dir / "b", "");
  EXPECT_NE(a, b);
  EXPECT_EQ(lab_there(a), 1) << a;
  EXPECT_EQ(lab_there(b), 1) << b;
  EXPECT_EQ(down("b"), 0);
  EXPECT_EQ(lab_there(b), 0) << b;
  EXPECT_EQ(lab_there(a), 1) << a;
  EXPECT_EQ(down("a"), 0);
  EXPECT_EQ(lab_there(a), 0) << a;

  const std::string named = lab_up(dir / "named", "prefix " + mark + "\n");
  EXPECT_EQ(named, mark);
  EXPECT_EQ(lab_there(mark), 1);
  EXPECT_EQ(down("named"), 0);
  EXPECT_EQ(lab_there(mark), 0);
  for (const testutil::Netns& other : others)
    EXPECT_TRUE(netns_exists(other.name())) << other.name();
}

// lab serve returns once the simulator listens, however long it takes to
// start, and fails at once, with what it said, when it ends without:
// watched by its own process, and told from a zombie, as an ended
// simulator stays until whatever adopted it reaps it (here: nothing, until
// lab serve ends).
TEST(LabConfig, ServeWaitsForItsOwnSimulator) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24", {"n1 --no-sim"});
  ASSERT_TRUE(lab.ok()) << lab.error();
  const std::string sim = testutil::binary_dir() + "/controller_sim";
  const std::string serve = testutil::source_dir() + "/tools/lab";
  // A simulator that takes its time to start.
  testutil::write_file(lab.state_dir() + "/sim",
                       testutil::source_dir() + "/tests/bin/slow_controller_sim\n");
  const testutil::Outcome good =
      testutil::run({.argv = {serve, "serve", lab.state_dir(), "--port", "1201"},
                     .env = {"CONTR_SIM=" + sim}});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_NE(testutil::run({.argv = {"ss", "-Hltn", "sport = :1201"}, .netns = lab.host_ns()})
                .out.find(":1201"),
            std::string::npos);

  // One that ends at once, beside the one still running in the namespace.
  testutil::write_file(lab.state_dir() + "/sim", sim + "\n");
  const testutil::Outcome bad = testutil::run(
      {.argv = {serve, "serve", lab.state_dir(), "--port", "1202", "--mode", "nonesuch"},
       .keep_orphans = true});
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("the host: controller_sim does not listen"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("usage: controller_sim"), std::string::npos) << bad.err;
  // Its wait for a listener lasts 5 s at the least; an ended simulator is
  // seen within a try or two (well under 2 s, but a loaded machine, the
  // sanitizers' builds among it, may take longer to start one).
  EXPECT_LT(bad.seconds, 4.0);
}

TEST(ControllerSim, HelpListsTheModes) {
  const std::string sim = testutil::binary_dir() + "/controller_sim";
  const testutil::Outcome r = testutil::run({.argv = {sim, "--help"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  for (const char* mode : {"normal", "lf", "raw", "silent", "hang", "keepopen",
                           "drip", "huge", "reset", "refuse", "drop"})
    EXPECT_NE(r.out.find(std::string(" ") + mode + " "), std::string::npos) << mode;
  EXPECT_EQ(testutil::status({sim, "--mode", "nonesuch"}), 2);
}

}  // namespace
