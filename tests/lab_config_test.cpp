// tools/lab reads node arguments as words and never runs them: the lab runs
// as root, and its config is text.

#include <unistd.h>

#include "net.h"
#include "test_util.h"

namespace {

TEST(LabConfig, ShellTextInNodeArgumentsIsTakenLiterally) {
  REQUIRE_NETNS();
  const std::string markers = testutil::temp_folder();
  const std::string marker = markers + "/ran";
  const std::string body = "$(touch " + marker + "1);touch " + marker +
                           "2 `touch " + marker + "3` | x & y > z";
  {
    testutil::Lab lab("eth0 192.168.1.20/24",
                      {"literal --body '" + body + "'"});
    ASSERT_TRUE(lab.ok());
    testutil::InNetns in(lab.host_ns());
    const testutil::ChildResult r = testutil::run_child("", [&] {
      std::string got;
      return request_contr_net_info(lab.node("literal").address.c_str(), 0,
                                    lab.host_if().c_str(), got)
                 ? got
                 : "(no answer)";
    });
    EXPECT_EQ(r.result, body);
  }
  for (const char* n : {"1", "2", "3"})
    EXPECT_NE(access((marker + n).c_str(), F_OK), 0) << n;
  testutil::sh("rm -rf " + markers);
}

// A lab up that fails, wherever it fails, removes all it had built, stops
// every simulator it had started, and says which line or node it was at.
TEST(LabConfig, AFailedUpLeavesNothingBehind) {
  REQUIRE_NETNS();
  const std::string marker = testutil::unique_name();
  const std::string dir = testutil::temp_folder();
  const std::string ran = dir + "/ran";
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
    const testutil::ProcessResult r = testutil::run_process(
        testutil::source_dir() + "/tools/lab up " + dir + "/state " + config,
        "");
    EXPECT_NE(r.status, 0) << c.what;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << r.err;
    EXPECT_EQ(testutil::sh_out("ip netns list 2>/dev/null | grep -F -- " +
                                      prefix + "-"),
              "")
        << c.what;
    // "[c]dt-...": the pattern does not find the shell that runs pgrep.
    EXPECT_EQ(testutil::sh_out("pgrep -f -- '[" + marker.substr(0, 1) + "]" +
                               marker.substr(1) + "'"),
              "")
        << c.what;
    EXPECT_NE(access(ran.c_str(), F_OK), 0) << c.what;
    unlink(config.c_str());
  }
  testutil::sh("rm -rf " + dir);
}

TEST(ControllerSim, HelpListsTheModes) {
  const testutil::ProcessResult r =
      testutil::run_process(testutil::binary_dir() + "/controller_sim --help", "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  for (const char* mode : {"normal", "lf", "raw", "silent", "hang", "keepopen",
                           "drip", "huge", "reset", "refuse", "drop"})
    EXPECT_NE(r.out.find(std::string(" ") + mode + " "), std::string::npos)
        << mode;
  EXPECT_EQ(testutil::run_process(testutil::binary_dir() +
                                      "/controller_sim --mode nonesuch",
                                  "")
                .status,
            2);
}

}  // namespace
