// tools/lab reads node arguments as words and never runs them: the lab runs
// as root, and its config is text.

#include <unistd.h>

#include "net.h"
#include "test_util.h"

namespace {

TEST(LabConfig, ShellTextInNodeArgumentsIsTakenLiterally) {
  REQUIRE_NETNS();
  const std::string marker = "/tmp/" + testutil::unique_name() + "-ran";
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

  // Words that do not end their quotes are refused before anything starts.
  const std::string dir = testutil::binary_dir() + "/" + testutil::unique_name();
  const std::string config = testutil::write_temp_file(
      "config", "prefix " + testutil::unique_name() + "\nsim " +
                    testutil::binary_dir() +
                    "/controller_sim\nhost eth0\n"
                    "node open --body 'no end $(touch " + marker + "4)\n");
  const testutil::ProcessResult r = testutil::run_process(
      testutil::source_dir() + "/tools/lab up " + dir + " " + config,
      "");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("lab: node arguments not readable as words"),
            std::string::npos)
      << r.err;
  EXPECT_NE(access((marker + "4").c_str(), F_OK), 0);
  testutil::sh("rm -rf " + dir + " " + config);
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
