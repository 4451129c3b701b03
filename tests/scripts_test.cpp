// The scripts that ask for root re-run themselves through sudo: by the
// absolute path they were started with (from any folder, by any relative
// path) and with the project's CONTR_* variables, if any, kept past sudo's
// reset of the environment. A stand-in sudo records how it was called. And
// what the suite makes in /tmp and /var/tmp as root is its own.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
  struct Case {
    std::string variables;
    std::vector<std::string> preserve;  // the line that may come first
  } cases[] = {
      // Nothing of the project's set, as in a fresh login: no
      // --preserve-env at all.
      {"", {""}},
      // In the order the shell lists its environment.
      {"CONTR_REQUIRE_NETNS=1 CONTR_FUZZ_SECONDS=3 ",
       {"--preserve-env=CONTR_FUZZ_SECONDS,CONTR_REQUIRE_NETNS\n",
        "--preserve-env=CONTR_REQUIRE_NETNS,CONTR_FUZZ_SECONDS\n"}},
  };
  for (const Case& c : cases) {
    for (const std::string script : {"test", "demo", "portability"}) {
      SCOPED_TRACE(script + " with " + c.variables);
      testutil::sh(": >" + record);
      const testutil::ProcessResult r = testutil::run_process(
          "cd / && setpriv --reuid=65534 --regid=65534 --clear-groups -- env "
          "-i HOME=/ PATH=" + dir + "/bin:/usr/sbin:/usr/bin:/sbin:/bin " +
              c.variables + "OTHER=x " + relative + script + " --an-argument",
          "");
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "");
      const std::string got = testutil::read_file(record);
      const std::string call =
          "--\n" + src + "/scripts/" + script + "\n--an-argument\n";
      EXPECT_TRUE(std::any_of(c.preserve.begin(), c.preserve.end(),
                              [&](const std::string& first) {
                                return got == first + call;
                              }))
          << got;
    }
  }
}

// The helpers that make folders and files for the suite, which runs as
// root, never take one that another user made first under the name they
// would use: every name the old ones would have chosen is planted, owned by
// someone else, and stays untouched and unused.
TEST(Scripts, HelpersNeverUseWhatAnotherUserMadeFirst) {
  REQUIRE_ROOT();  // to plant as another user
  // The names are this process's next few; plant them all.
  const std::string next = testutil::unique_name();
  const std::string stem = next.substr(0, next.rfind('-') + 1);
  const int n = std::stoi(next.substr(next.rfind('-') + 1));
  std::vector<std::string> planted;
  for (int k = n + 1; k <= n + 20; ++k) {
    const std::string name = stem + std::to_string(k);
    for (const std::string& path : {"/var/tmp/" + name, "/tmp/" + name + "-config"})
      planted.push_back(path);
  }
  for (const std::string& path : planted)
    ASSERT_EQ(testutil::sh("setpriv --reuid=65534 --regid=65534 --clear-groups "
                           "-- mkdir " + path),
              0)
        << path;

  {
    const testutil::SharedCopy copy;
    const std::string file = testutil::write_temp_file("config", "text");
    for (const std::string& made : {copy.dir(), file}) {
      struct stat st {};
      ASSERT_EQ(lstat(made.c_str(), &st), 0) << made;
      EXPECT_EQ(st.st_uid, 0u) << made;
      EXPECT_EQ(std::find(planted.begin(), planted.end(), made), planted.end())
          << made;
    }
    EXPECT_EQ(testutil::read_file(file), "text");
    // The copy: the user may read and run it, not change it.
    struct stat st {};
    ASSERT_EQ(stat(copy.dir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    unlink(file.c_str());
  }
  for (const std::string& path : planted) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, 65534u) << path;
    EXPECT_EQ(testutil::sh_out("ls -A " + path), "") << path;
    rmdir(path.c_str());
  }
}

// Run through sudo by the tree's owner, a script hands build/ and
// fuzz/out/ back to that user when it ends, and never through a link: a
// link in build/ to a file of root's, and a fuzz/out/ that is itself a
// link to a folder of root's, leave root's files root's.
TEST(Scripts, TheTreeIsHandedBackWithoutFollowingLinks) {
  REQUIRE_ROOT();  // to hand something to another user
  const testutil::SharedCopy copy;  // holds scripts/ and build/
  const std::string tree = copy.dir();
  const std::string outside = testutil::temp_folder();
  ASSERT_EQ(testutil::sh("echo precious >" + outside + "/file && mkdir " +
                         outside + "/dir && echo precious >" + outside +
                         "/dir/inner && chown 65534:65534 " + tree +
                         " && ln -s " + outside + "/file " + tree +
                         "/build/link && mkdir " + tree + "/fuzz && ln -s " +
                         outside + "/dir " + tree + "/fuzz/out"),
            0);
  const testutil::ProcessResult r = testutil::run_process(
      "cd " + tree +
          " && SUDO_UID=65534 bash -c '. scripts/deps.sh && become_root'",
      "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  struct Case {
    std::string path;
    bool follow;
    uid_t owner;
  } cases[] = {
      {tree + "/build", false, 65534},
      {tree + "/build/controller_sim", false, 65534},
      {tree + "/build/link", false, 65534},
      {tree + "/fuzz/out", false, 65534},
      {outside + "/file", true, 0},
      {outside + "/dir", true, 0},
      {outside + "/dir/inner", true, 0},
      // Not made by the scripts: stays as it was.
      {tree + "/scripts", false, 0},
  };
  for (const Case& c : cases) {
    struct stat st {};
    ASSERT_EQ(c.follow ? stat(c.path.c_str(), &st) : lstat(c.path.c_str(), &st), 0)
        << c.path;
    EXPECT_EQ(st.st_uid, c.owner) << c.path;
  }
  testutil::sh("rm -rf " + outside);
}

}  // namespace
