// The scripts that ask for root re-run themselves through sudo: by the
// absolute path they were started with (from any folder, by any relative
// path) and with the project's CONTR_* variables, if any, kept past sudo's
// reset of the environment. A stand-in sudo records how it was called. And
// what the suite makes in /tmp and /var/tmp as root is its own.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "files.h"
#include "launch.h"

namespace {

/// Runs `argv` as the ordinary user 65534 with only the environment
/// given, in folder `cwd`.
testutil::Outcome as_user(const std::string& cwd, const std::vector<std::string>& env,
                          const std::vector<std::string>& argv) {
  std::vector<std::string> all = {"setpriv", "--reuid=65534", "--regid=65534",
                                  "--clear-groups", "--", "env", "-i", "-C", cwd};
  all.insert(all.end(), env.begin(), env.end());
  all.insert(all.end(), argv.begin(), argv.end());
  return testutil::run({.argv = all});
}

TEST(Scripts, ReRunThroughSudoByAbsolutePathKeepingTheVariables) {
  REQUIRE_ROOT();  // to run them as an ordinary user
  // The user starts them: from a copy that user can reach.
  const testutil::SharedCopy copy;
  const std::string src = copy.dir();
  const std::string bin = copy.dir() + "/stand-in";
  testutil::must({"mkdir", "-m", "755", bin});
  testutil::must({"cp", testutil::source_dir() + "/tests/bin/sudo", bin + "/sudo"});
  // The stand-in writes its arguments, one a line, into a file that the
  // user may write.
  const std::string record = copy.dir() + "/record";
  testutil::write_file(record, "", 0666);
  // The source tree by a path relative to / (and through "..").
  const std::string relative = src.substr(1) + "/tools/../scripts/";
  struct Case {
    std::vector<std::string> variables;
    std::vector<std::string> preserve;  // the line that may come first
  } cases[] = {
      // Nothing of the project's set, as in a fresh login: no
      // --preserve-env at all.
      {{}, {""}},
      // In the order the shell lists its environment.
      {{"CONTR_REQUIRE_NETNS=1", "CONTR_FUZZ_SECONDS=3"},
       {"--preserve-env=CONTR_FUZZ_SECONDS,CONTR_REQUIRE_NETNS\n",
        "--preserve-env=CONTR_REQUIRE_NETNS,CONTR_FUZZ_SECONDS\n"}},
  };
  for (const Case& c : cases) {
    for (const std::string script : {"test", "demo", "portability"}) {
      SCOPED_TRACE(script + " with " + testing::PrintToString(c.variables));
      testutil::write_file(record, "", 0666);
      std::vector<std::string> env = {"HOME=/", "PATH=" + bin + ":/usr/sbin:/usr/bin:/sbin:/bin",
                                      "SUDO_RECORD=" + record, "OTHER=x"};
      env.insert(env.end(), c.variables.begin(), c.variables.end());
      const testutil::Outcome r = as_user("/", env, {relative + script, "--an-argument"});
      EXPECT_EQ(r.status, 0) << r.command << "\n" << r.err;
      EXPECT_EQ(r.err, "");
      const std::string got = testutil::read_file(record);
      const std::string call = "--\n" + src + "/scripts/" + script + "\n--an-argument\n";
      EXPECT_TRUE(std::any_of(c.preserve.begin(), c.preserve.end(),
                              [&](const std::string& first) { return got == first + call; }))
          << got;
    }
  }
}

// The folders and files the suite makes as root are its own, with names
// nobody could have taken first: folders and files of another user under
// the names the suite gives its namespaces stay untouched and unused, and
// what it makes is root's, open only as far as meant.
TEST(Scripts, HelpersNeverUseWhatAnotherUserMadeFirst) {
  REQUIRE_ROOT();  // to plant as another user
  const std::string next = testutil::unique_name();
  std::vector<std::string> planted;
  for (const char* dir : {"/var/tmp/", "/tmp/"})
    for (int k = 1; k <= 10; ++k) {
      planted.push_back(dir + next.substr(0, next.rfind('-') + 1) + std::to_string(k));
      ASSERT_EQ(as_user("/", {}, {"mkdir", planted.back()}).status, 0) << planted.back();
    }
  {
    const testutil::SharedCopy copy;
    const testutil::TempDir folder;
    const std::string file = testutil::write_temp_file("config", "text");
    for (const auto& [made, mode] : {std::pair(copy.dir(), 0755u), {folder.path(), 0700u},
                                     {file, 0600u}}) {
      struct stat st {};
      ASSERT_EQ(lstat(made.c_str(), &st), 0) << made;
      EXPECT_EQ(st.st_uid, 0u) << made;
      EXPECT_EQ(st.st_mode & 07777, mode) << made;
      EXPECT_EQ(std::find(planted.begin(), planted.end(), made), planted.end()) << made;
    }
    unlink(file.c_str());
  }
  for (const std::string& path : planted) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(st.st_uid, 65534u) << path;
    EXPECT_TRUE(std::filesystem::is_empty(path)) << path;
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
  const testutil::TempDir outside;
  testutil::write_file(outside / "file", "precious\n");
  std::filesystem::create_directory(outside / "dir");
  testutil::write_file(outside / "dir/inner", "precious\n");
  ASSERT_EQ(chown(tree.c_str(), 65534, 65534), 0);
  std::filesystem::create_symlink(outside / "file", tree + "/build/link");
  std::filesystem::create_directory(tree + "/fuzz");
  std::filesystem::create_directory_symlink(outside / "dir", tree + "/fuzz/out");
  const testutil::Outcome r = testutil::run(
      {.argv = {"env", "-C", tree, testutil::source_dir() + "/tests/bin/hand_back"},
       .env = {"SUDO_UID=65534"}});
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
      {outside / "file", true, 0},
      {outside / "dir", true, 0},
      {outside / "dir/inner", true, 0},
      // Not made by the scripts: stays as it was.
      {tree + "/scripts", false, 0},
  };
  for (const Case& c : cases) {
    struct stat st {};
    ASSERT_EQ(c.follow ? stat(c.path.c_str(), &st) : lstat(c.path.c_str(), &st), 0) << c.path;
    EXPECT_EQ(st.st_uid, c.owner) << c.path;
  }
}

}  // namespace
