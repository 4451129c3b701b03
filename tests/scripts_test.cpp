// The scripts that ask for root re-run themselves through sudo: by the
// absolute path they were started with (from any folder, by any relative
// path) and with the project's CONTR_* variables kept past sudo's reset of
// the environment. A stand-in sudo records how it was called.

#include "test_util.h"

namespace {

TEST(Scripts, ReRunThroughSudoByAbsolutePathKeepingTheVariables) {
  REQUIRE_ROOT();  // to run them as an ordinary user
  // The user starts them: from a copy that user can reach.
  const testutil::SharedCopy copy;
  const std::string src = copy.dir();
  const std::string dir = copy.dir() + "/stand-in";
  testutil::sh("mkdir -p " + dir + "/bin && chmod 755 " + dir + " " + dir +
               "/bin");
  // The stand-in writes its arguments, one a line, and what it was given of
  // the environment, into a file that the user may write.
  const std::string record = dir + "/record";
  testutil::sh("touch " + record + " && chmod 666 " + record);
  {
    std::FILE* f = std::fopen((dir + "/bin/sudo").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "#!/bin/sh\nprintf '%%s\\n' \"$@\" >%s\n", record.c_str());
    std::fclose(f);
  }
  testutil::sh("chmod 755 " + dir + "/bin/sudo");
  // The source tree by a path relative to / (and through "..").
  const std::string relative = src.substr(1) + "/tools/../scripts/";
  for (const std::string script : {"test", "demo", "portability"}) {
    testutil::sh(": >" + record);
    const testutil::ProcessResult r = testutil::run_process(
        "cd / && setpriv --reuid=65534 --regid=65534 --clear-groups -- env -i "
        "HOME=/ PATH=" + dir + "/bin:/usr/sbin:/usr/bin:/sbin:/bin "
        "CONTR_REQUIRE_NETNS=1 CONTR_FUZZ_SECONDS=3 OTHER=x " +
            relative + script + " --an-argument",
        "");
    EXPECT_EQ(r.status, 0) << script << r.err;
    const std::string got = testutil::read_file(record);
    const bool kept =
        got.find("--preserve-env=CONTR_FUZZ_SECONDS,CONTR_REQUIRE_NETNS\n") !=
            std::string::npos ||
        got.find("--preserve-env=CONTR_REQUIRE_NETNS,CONTR_FUZZ_SECONDS\n") !=
            std::string::npos;
    EXPECT_TRUE(kept) << script << ":\n" << got;
    EXPECT_NE(got.find("--\n" + src + "/scripts/" + script +
                       "\n--an-argument\n"),
              std::string::npos)
        << script << ":\n" << got;
    EXPECT_EQ(got.find("OTHER"), std::string::npos) << got;
  }
}

}  // namespace
