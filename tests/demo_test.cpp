// The demo as root would start it for an unprivileged user through sudo
// (SUDO_UID and SUDO_GID set): the tool runs as that user and is the only
// process that creates the page; what is planted at the path is refused by
// the tool's own writer. Run under strace with a private /tmp and
// /run/netns and the build of this tree.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <system_error>

#include "lab_segment.h"
#include "pty_session.h"

namespace {

/// From an strace -f log: the pids that exec'd the tool, and the pids of
/// every call that created, opened for writing or renamed onto something
/// named /tmp/disc734.html*.
struct Trace {
  std::set<std::string> tool_pids;
  std::map<std::string, std::string> page_writes;  // pid -> call
};

Trace read_trace(const std::string& log) {
  static const std::regex kTool(R"(^(\d+) +execve\(.*/contr_discovery".* = 0$)");
  static const std::regex kWrite(
      R"(^(\d+) +((?:rename|link).*"/tmp/disc734\.html.*|.*"/tmp/disc734\.html.*(?:O_WRONLY|O_RDWR|O_CREAT).*)$)");
  Trace t;
  std::istringstream in(log);
  std::smatch m;
  for (std::string line; std::getline(in, line);) {
    if (std::regex_match(line, m, kTool))
      t.tool_pids.insert(m[1]);
    if (std::regex_match(line, m, kWrite))
      t.page_writes[m[1]] += m[2].str() + "\n";
  }
  return t;
}

/// What stands at /tmp/disc734.html before the demo runs.
void plant(const std::string& content, uid_t owner) {
  if (content.empty())
    return;
  if (owner == 0) {  // a link to a file of root's
    testutil::write_file("/tmp/target", content);
    std::filesystem::create_symlink("/tmp/target", "/tmp/disc734.html");
  } else {
    testutil::write_file("/tmp/disc734.html", content);
    if (chown("/tmp/disc734.html", owner, owner) != 0)
      throw std::system_error(errno, std::generic_category(), "chown");
  }
}

TEST(Demo, TheToolWritesThePageAsTheUserWhoStartedSudo) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("strace"));
  // The tool runs as the user: from a copy that user can reach.
  const testutil::SharedCopy copy;
  const testutil::TempDir out(testutil::binary_dir());
  struct Case {
    std::string what, planted;
    uid_t planter;
    std::string owner, content, err;  // err: none when the page is written
  } cases[] = {
      {"no page yet", "", 0, "65534:65534", "\n<!DOCTYPE html>", ""},
      {"an earlier page of the user's", "earlier\n", 65534, "65534:65534", "\n<!DOCTYPE html>",
       ""},
      {"someone else's page", "theirs\n", 12345, "12345:12345", "theirs\n",
       "Не удалось записать файл /tmp/disc734.html: Operation not permitted\n"},
      {"a symbolic link to root's file", "precious\n", 0, "0:0", "precious\n",
       "Не удалось записать файл /tmp/disc734.html: Too many levels of symbolic links\n"},
  };
  for (const Case& c : cases) {
    const testutil::Outcome r = testutil::run(
        {.argv = {"strace", "-f", "-qq", "-o", out / "trace", "-e",
                  "trace=execve,open,openat,creat,rename,renameat,renameat2,link,linkat",
                  copy.dir() + "/scripts/demo"},
         .private_tmp = true,
         .private_netns_dir = true,
         // LeakSanitizer cannot work under ptrace; the other tests look
         // for leaks.
         .env = {"ASAN_OPTIONS=detect_leaks=0", "SUDO_UID=65534", "SUDO_GID=65534",
                 "CONTR_DEMO_BUILD=" + copy.dir() + "/build",
                 "CONTR_DEMO_PREFIX=" + testutil::unique_name(), "DISPLAY", "WAYLAND_DISPLAY"},
         .input = "y\n",
         .before = [&c] { plant(c.planted, c.planter); },
         .after = [&out] {
           struct stat st {};
           stat("/tmp/disc734.html", &st);
           testutil::write_file(out / "owner", std::to_string(st.st_uid) + ":" +
                                                   std::to_string(st.st_gid) + "\n");
           testutil::write_file(out / "content",
                                testutil::read_file("/tmp/disc734.html").substr(0, 16));
           testutil::write_file(out / "ls", testutil::names_in("/tmp"));
         }});
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_EQ(testutil::read_file(out / "owner"), c.owner + "\n") << c.what;
    EXPECT_EQ(testutil::read_file(out / "content"), c.content) << c.what;
    EXPECT_NE(r.out.find("Открыть ссылки в браузере chromium"), std::string::npos) << c.what;
    if (c.err.empty()) {
      EXPECT_NE(r.err.find("demo: the page is /tmp/disc734.html\n"), std::string::npos) << r.err;
      // No browser can start: the demo says why, and how to follow the
      // page's links from inside the segment.
      EXPECT_NE(r.err.find("there is no display"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("curl http://192.168.1.10/get_local_file/fbd.html"),
                std::string::npos) << r.err;
    } else {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << r.err;
      EXPECT_EQ(r.err.find("demo: the page is"), std::string::npos) << c.what;
    }
    // No temporary file of the writer is left.
    EXPECT_EQ(testutil::read_file(out / "ls").find("disc734.html."), std::string::npos) << c.what;

    const Trace t = read_trace(testutil::read_file(out / "trace"));
    ASSERT_EQ(t.tool_pids.size(), 1u) << c.what;
    for (const auto& [pid, calls] : t.page_writes)
      EXPECT_EQ(pid, *t.tool_pids.begin())
          << c.what << ": another process wrote the page:\n" << calls;
    if (c.err.empty()) {
      ASSERT_EQ(t.page_writes.size(), 1u) << c.what;
      const std::string& calls = t.page_writes.begin()->second;
      EXPECT_NE(calls.find("O_EXCL"), std::string::npos) << calls;
      EXPECT_NE(calls.find("rename"), std::string::npos) << calls;
    } else {
      EXPECT_TRUE(t.page_writes.empty()) << c.what;
    }
  }
}

// Answered "y" where no browser can start, the demo keeps its segment
// until Enter is pressed, and from inside it the page's links lead where a
// real segment's would: the pages of a reachable controller open and name
// it, a page it does not have is not found, those of a controller in
// another subnet cannot be reached.
TEST(Demo, TheLinksOfAReachableControllerOpen) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("curl"));
  const std::string prefix = testutil::unique_name();
  testutil::PtySession pty({.argv = {testutil::source_dir() + "/scripts/demo"},
                            .private_tmp = true,
                            .private_netns_dir = true,
                            .env = {"CONTR_DEMO_BUILD=" + testutil::binary_dir(),
                                    "CONTR_DEMO_PREFIX=" + prefix, "DISPLAY",
                                    "WAYLAND_DISPLAY"}});
  ASSERT_TRUE(pty.wait_for(testutil::kQuestion, 60)) << pty.output();
  pty.type("y\n");
  ASSERT_TRUE(pty.wait_for("until you press Enter", 10)) << pty.output();
  EXPECT_NE(pty.output().find("there is no display"), std::string::npos) << pty.output();
  struct Case {
    std::string url;
    int status;
    std::string shows;
  } cases[] = {
      {"192.168.1.10/get_local_file/fbd.html", 0,
       "<h1>Котельная-1</h1>\n<p>FBD программирование</p>"},
      {"192.168.1.10/get_local_file/mal.html", 0, "<h1>Котельная-1</h1>\n<p>Меню</p>"},
      {"192.168.1.10", 0, "<h1>Котельная-1</h1>\n<p>Диспетчеризация</p>"},
      {"192.168.1.12/get_local_file/fbd.html", 0, "<h1>Щит-2</h1>"},
      {"192.168.1.10/get_local_file/nonesuch.html", 0, "<title>404</title>"},
      // curl: "Couldn't connect to server".
      {"10.0.0.5/get_local_file/fbd.html", 7, ""},
      {"192.168.2.5/get_local_file/mal.html", 7, ""},
  };
  for (const Case& c : cases) {
    const testutil::Outcome r = testutil::run(
        {.argv = {"curl", "-sS", "--max-time", "5", "http://" + c.url},
         .netns = "/proc/" + std::to_string(pty.pid()) + "/root/run/netns/" + prefix + "-h"});
    EXPECT_EQ(r.status, c.status) << c.url << ": " << r.err;
    EXPECT_NE(r.out.find(c.shows), std::string::npos) << c.url << ": " << r.out;
  }
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(30), 0) << pty.output();
}

}  // namespace
