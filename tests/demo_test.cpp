// The demo as root would start it for an unprivileged user through sudo
// (SUDO_UID and SUDO_GID set): the tool runs as that user and is the only
// process that creates the page; what is planted at the path is refused by
// the tool's own writer. Run under strace with a private /tmp and the build
// of this tree.

#include <map>
#include <set>
#include <sstream>

#include "lab_segment.h"
#include "pty_session.h"
#include "test_util.h"

namespace {

/// From an strace -f log: the pids that exec'd the tool, and the pids of
/// every call that created, opened for writing or renamed onto something
/// named /tmp/disc734.html*.
struct Trace {
  std::set<std::string> tool_pids;
  std::map<std::string, std::string> page_writes;  // pid -> call
};

Trace read_trace(const std::string& log) {
  Trace t;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    const size_t gap = line.find(' ');
    if (gap == std::string::npos)
      continue;
    const std::string pid = line.substr(0, gap);
    const std::string call = line.substr(line.find_first_not_of(' ', gap));
    if (call.rfind("execve(", 0) == 0 &&
        call.find("/contr_discovery\"") != std::string::npos &&
        call.find("= 0") != std::string::npos)
      t.tool_pids.insert(pid);
    if (call.find("\"/tmp/disc734.html") == std::string::npos)
      continue;
    const bool writes = call.find("O_WRONLY") != std::string::npos ||
                        call.find("O_RDWR") != std::string::npos ||
                        call.find("O_CREAT") != std::string::npos ||
                        call.rfind("rename", 0) == 0 ||
                        call.rfind("link", 0) == 0;
    if (writes)
      t.page_writes[pid] += call + "\n";
  }
  return t;
}

TEST(Demo, TheToolWritesThePageAsTheUserWhoStartedSudo) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("strace"));
  // The tool runs as the user: from a copy that user can reach.
  const testutil::SharedCopy copy;
  const std::string bin = copy.dir() + "/build";
  const std::string src = copy.dir();
  const std::string out = testutil::binary_dir() + "/" + testutil::unique_name();
  testutil::sh("mkdir -p " + out);
  struct Case {
    std::string what, plant, owner, content, says, err;
  } cases[] = {
      {"no page yet", "true", "65534:65534", "\n<!DOCTYPE html>",
       "demo: the page is /tmp/disc734.html\n", ""},
      {"an earlier page of the user's",
       "echo earlier >/tmp/disc734.html && chown 65534:65534 /tmp/disc734.html",
       "65534:65534", "\n<!DOCTYPE html>",
       "demo: the page is /tmp/disc734.html\n", ""},
      {"someone else's page",
       "echo theirs >/tmp/disc734.html && chown 12345:12345 /tmp/disc734.html",
       "12345:12345", "theirs\n", "",
       "Не удалось записать файл /tmp/disc734.html: Operation not permitted\n"},
      {"a symbolic link to root's file",
       "echo precious >/tmp/target && ln -s /tmp/target /tmp/disc734.html",
       "0:0", "precious\n", "",
       "Не удалось записать файл /tmp/disc734.html: Too many levels of "
       "symbolic links\n"},
  };
  for (const Case& c : cases) {
    const testutil::ProcessResult r = testutil::run_process(
        testutil::with_private_tmp(
            // LeakSanitizer cannot work under ptrace; the other tests
            // look for leaks.
            c.plant + " && env -u DISPLAY -u WAYLAND_DISPLAY "
            "ASAN_OPTIONS=detect_leaks=0 SUDO_UID=65534 "
            "SUDO_GID=65534 CONTR_DEMO_BUILD=" + bin + " CONTR_DEMO_PREFIX=" +
            testutil::unique_name() + " strace -f -qq -o " + out +
            "/trace -e trace=execve,open,openat,creat,rename,renameat,"
            "renameat2,link,linkat " + src + "/scripts/demo; status=$?; "
            "stat -L -c %u:%g /tmp/disc734.html >" + out + "/owner; "
            "head -c 16 /tmp/disc734.html >" + out + "/content; "
            "ls -A /tmp >" + out + "/ls; exit $status"),
        "y\n");
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_EQ(testutil::read_file(out + "/owner"), c.owner + "\n") << c.what;
    EXPECT_EQ(testutil::read_file(out + "/content"), c.content) << c.what;
    EXPECT_NE(r.out.find("Открыть ссылки в браузере chromium"),
              std::string::npos)
        << c.what;
    if (c.err.empty()) {
      EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << r.err;
    } else {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << r.err;
      EXPECT_EQ(r.err.find("demo: the page is"), std::string::npos) << c.what;
    }
    // No temporary file of the writer is left.
    EXPECT_EQ(testutil::read_file(out + "/ls").find("disc734.html."),
              std::string::npos)
        << c.what;

    const Trace t = read_trace(testutil::read_file(out + "/trace"));
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
  testutil::sh("rm -rf " + out);
}

// From where the tool runs, the demo's links lead where a real segment's
// would: the pages of a reachable controller open and name it, those of a
// controller in another subnet cannot be reached.
TEST(Demo, TheLinksOfAReachableControllerOpen) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("curl"));
  const std::string prefix = testutil::unique_name();
  // The demo's namespaces are looked into from outside, so no private
  // mount namespace: the question is answered with ENTER, and no page is
  // written.
  testutil::PtySession pty("env -u DISPLAY -u WAYLAND_DISPLAY CONTR_DEMO_BUILD=" +
                           testutil::binary_dir() + " CONTR_DEMO_PREFIX=" +
                           prefix + " " + testutil::source_dir() +
                           "/scripts/demo");
  ASSERT_TRUE(pty.wait_for(testutil::kQuestion, 60)) << pty.output();
  const std::string curl =
      "ip netns exec " + prefix + "-h curl -sS --max-time 5 http://";
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
      // curl: "Couldn't connect to server".
      {"10.0.0.5/get_local_file/fbd.html", 7, ""},
      {"192.168.2.5/get_local_file/mal.html", 7, ""},
  };
  for (const Case& c : cases) {
    const testutil::ProcessResult r = testutil::run_process(curl + c.url, "");
    EXPECT_EQ(r.status, c.status) << c.url << ": " << r.err;
    EXPECT_NE(r.out.find(c.shows), std::string::npos) << c.url << ": " << r.out;
  }
  pty.type("\n");
  EXPECT_EQ(pty.wait_exit(30), 0) << pty.output();
  EXPECT_EQ(testutil::sh_out("ip netns list | grep -F -- " + prefix), "");
}

}  // namespace
