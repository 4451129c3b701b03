#include "replace_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "files.h"
#include "launch.h"

namespace {

class ReplaceFile : public ::testing::Test {
 protected:
  std::string listing() const { return testutil::names_in(dir_); }
  const testutil::TempDir folder_;
  const std::string dir_ = folder_.path(), path_ = folder_ / "disc734.html";
};

TEST_F(ReplaceFile, WritesAndOverwrites) {
  const mode_t old_mask = umask(027);
  ASSERT_TRUE(replace_file(path_.c_str(), "a longer first page"));
  ASSERT_TRUE(replace_file(path_.c_str(), "second"));
  umask(old_mask);
  EXPECT_EQ(testutil::read_file(path_), "second");
  EXPECT_EQ(listing(), "disc734.html\n");  // no temporary file left
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);  // 0644 under the caller's umask
}

// A write that fails halfway (here the file size limit, as a full disk
// would): the earlier page stays whole and the new one leaves nothing.
TEST_F(ReplaceFile, FailedWriteKeepsTheEarlierPage) {
  ASSERT_TRUE(replace_file(path_.c_str(), "earlier page"));
  const testutil::ChildResult r = testutil::run_child("", [this] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    errno = 0;
    const bool ok = replace_file(path_.c_str(), std::string(200000, 'p'));
    return std::string(ok ? "written" : strerror(errno));
  });
  EXPECT_EQ(r.result, strerror(EFBIG));
  EXPECT_EQ(testutil::read_file(path_), "earlier page");
  EXPECT_EQ(listing(), "disc734.html\n");
}

// What stands at the path, or the lack of a folder, refuses the write with
// its own errno; nothing there changes, and nothing is written through it.
TEST_F(ReplaceFile, Refusals) {
  const std::string target = dir_ + "/target";
  const std::string in_no_folder = dir_ + "/none/disc734.html";
  struct Case {
    std::string what;
    std::function<int(const std::string& path)> plant;
    int err;
    std::string listing;  // of the folder afterwards
    std::string path = "";  // the page's, unless another
    std::string kept = "";  // what stays at the path, when it is a file
    bool needs_root = false;
  } cases[] = {
      {"no folder", [](const std::string&) { return 0; }, ENOENT, "target\n",
       in_no_folder},
      {"symbolic link",
       [&](const std::string& p) { return symlink(target.c_str(), p.c_str()); },
       ELOOP, "disc734.html\ntarget\n"},
      {"dangling symbolic link",
       [&](const std::string& p) {
         return symlink((dir_ + "/made-through-link").c_str(), p.c_str());
       },
       ELOOP, "disc734.html\ntarget\n"},
      {"hard link",
       [&](const std::string& p) { return link(target.c_str(), p.c_str()); },
       EMLINK, "disc734.html\ntarget\n"},
      {"FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0600); },
       EINVAL, "disc734.html\ntarget\n"},
      {"directory", [](const std::string& p) { return mkdir(p.c_str(), 0700); },
       EINVAL, "disc734.html\ntarget\n"},
      {"another user's file",
       [](const std::string& p) {
         std::ofstream(p) << "theirs";
         return chown(p.c_str(), 65534, 65534);
       },
       EPERM, "disc734.html\ntarget\n", "", "theirs", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needs_root && geteuid() != 0)
      continue;  // giving the file away needs root: see the end
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      std::filesystem::remove_all(entry.path());
    { std::ofstream(target) << "precious"; }
    const std::string& path = c.path.empty() ? path_ : c.path;
    ASSERT_EQ(c.plant(path), 0);
    errno = 0;
    EXPECT_FALSE(replace_file(path.c_str(), "page"));
    EXPECT_EQ(errno, c.err) << strerror(errno);
    EXPECT_EQ(testutil::read_file(target), "precious");
    if (!c.kept.empty()) {
      EXPECT_EQ(testutil::read_file(path), c.kept);
    }
    EXPECT_EQ(listing(), c.listing);
  }
  REQUIRE_ROOT();
}

}  // namespace
