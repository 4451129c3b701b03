// The whole run of the real binary on the shared lab segment: sweep,
// queries, summary, page and browser. The tool runs with a private /tmp and
// a stand-in chromium that records how it was called. Every expected line
// and row is written out in lab_segment.cpp.

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "lab_segment.h"
#include "text_check.h"

namespace {

using testutil::kAdapterAndAddress;
using testutil::kHeading;
using testutil::kTail;
using testutil::segment_node;
using testutil::segment_nodes;
using testutil::SegmentNode;
using testutil::sorted;

const std::string kRequest = "GET /get_contr_net_info HTTP/1.1\nConnection:close\n\n";

// What the failing nodes print while the sweep runs, in any order. Those
// whose quoted text begins like another's are taken away first.
const std::vector<std::string> kSweepMessages = {
    "error:recv timeout", "error:recv timeout", "error:recv timeout",  // hang, keepopen, drip
    "error:reply too large", "error:reply too large",                  // huge, mib_plus
    "error:recv failed",                                               // reset
    "Заголовок не найден.\n> ?[2J?[3J192.168.1.50 255.255.255.0 1 Щит-управления\n"
    "> -насосной-станцией\r\n",                                       // noheader
    "Заголовок не найден.\n> \n",                                      // silent
};
// Refused: refuse, pingonly, the computer itself; timed out: drop.
const std::vector<std::string> kSweepErrors = {
    "error:connect: Connection refused\n", "error:connect: Connection refused\n",
    "error:connect: Connection refused\n", "error:connect: Connection timed out\n"};

/// The summary's lines as the tool printed them, each with its line end.
std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

/// The nodes the summary lists, and their status lines, sorted.
std::vector<const SegmentNode*> listed_nodes() {
  std::vector<const SegmentNode*> listed;
  for (const SegmentNode& n : segment_nodes())
    if (!n.line.empty())
      listed.push_back(&n);
  return listed;
}
std::vector<std::string> listed_lines() {
  std::vector<std::string> lines;
  for (const SegmentNode* n : listed_nodes())
    lines.push_back(n->line);
  return sorted(lines);
}

/// The page for controllers listed in this order of status lines.
std::string page_for(const std::vector<std::string>& printed) {
  std::string rows;
  for (const std::string& line : printed)
    for (const SegmentNode* n : listed_nodes())
      if (n->line == line)
        rows += "<TR>" + n->cells + "</TR>\n";
  return testutil::expected_page(rows);
}

/// A page's rows, sorted, and the rest of it.
std::pair<std::vector<std::string>, std::string> rows_and_rest(const std::string& page) {
  std::vector<std::string> rows;
  std::string rest;
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);)
    line.rfind("<TR>", 0) == 0 ? rows.push_back(line) : void(rest += line + "\n");
  return {sorted(rows), rest};
}

/// What node `name` of `lab` recorded after its first `from` bytes. A
/// simulator records a connection when it ends, which may come a moment
/// after the tool's end: waited for, 2.5 s at the most.
std::string recorded(const testutil::Lab& lab, const std::string& name, size_t from = 0) {
  std::string got;
  for (int i = 0; i < 50 && (got = lab.log(name).substr(from)).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return got;
}

/// A stand-in ping6 output naming these addresses once each.
std::string ping_output_naming(const std::vector<std::string>& addresses) {
  std::string out = "PING ff02::1(ff02::1) 56 data bytes\n";
  for (const std::string& address : addresses)
    out += "64 bytes from " + address + "%eth0: icmp_seq=1\n";
  return out + "\n";
}

using WholeRun = testutil::SegmentTest;

TEST_F(WholeRun, EveryKindOfNodeAtOnce) {
  testutil::ToolRunner tool(*lab_);
  const testutil::Outcome r = tool.run("y\n");
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> printed = testutil::summary_lines(r.out);
  EXPECT_EQ(sorted(printed), listed_lines());
  std::string sweep = r.out, err = testutil::without_ping_warning(r.err);
  ASSERT_TRUE(testutil::remove_each(sweep, kSweepMessages)) << r.out;
  EXPECT_EQ(sweep, kAdapterAndAddress + kHeading + joined(printed) + kTail);
  EXPECT_EQ(textcheck::foreign_in(r.out, " \t\n\r"), "");
  ASSERT_TRUE(testutil::remove_each(err, kSweepErrors)) << r.err;
  EXPECT_EQ(err, "");

  // The bounds: the ping deadline, 2 s for the dropped attempt, 5 s for
  // each of the three stalled exchanges, and a little for all the rest.
  EXPECT_LT(r.seconds, 2.0 + 2.0 + 3 * 5.0 + 4.0);
  // The memory a run takes is measured by bench/sweep.
  RecordProperty("seconds", std::to_string(r.seconds));
  RecordProperty("peak_kib", std::to_string(r.peak_kib));

  // The page rows come in the order of the summary.
  EXPECT_EQ(tool.browser_calls(), "file:///tmp/disc734.html\n");
  EXPECT_EQ(tool.page(), page_for(printed));

  // The same page in a real browser: links where the address is a dotted
  // quad, the hostile name as text. Chromium runs in an empty namespace of
  // its own, so it cannot reach any network.
  CONTR_REQUIRE(testutil::missing("chromium"));
  testutil::Netns isolated;
  const std::string home = tool.out_dir();
  const std::string dom =
      testutil::run({.argv = {"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                              "--disable-quic", "--no-first-run", "--disable-sync",
                              "--disable-background-networking", "--disable-component-update",
                              "--user-data-dir=" + home + "/profile", "--dump-dom",
                              "file://" + home + "/page.html"},
                     .netns = isolated.name(), .env = {"HOME=" + home}}).out;
  SCOPED_TRACE(dom);
  for (const std::string ip : {"192.168.1.10", "10.0.0.5", "192.168.2.5", "192.168.1.11",
                               "192.168.1.12", "192.168.1.13", "192.168.1.16"})
    for (const std::string page : {"fbd", "mal"}) {
      const std::string url = ip + "/get_local_file/" + page + ".html";
      EXPECT_NE(dom.find("<a href=\"http://" + url + "\">" + url + "</a>"), std::string::npos);
    }
  EXPECT_NE(dom.find("<td>&lt;b&gt;K&amp;6&lt;/b&gt;&lt;script&gt;x()&lt;/script&gt;</td>"),
            std::string::npos);
  EXPECT_EQ(dom.find("<script>"), std::string::npos);
  EXPECT_EQ(dom.find("<img"), std::string::npos);
  EXPECT_EQ(dom.find("<a href=\"http://b"), std::string::npos);
}

TEST_F(WholeRun, StandardOutputClosed) {
  testutil::ToolRunner tool(*lab_);
  std::vector<std::string> names, addresses;
  std::map<std::string, size_t> log_before;
  for (const SegmentNode* n : listed_nodes()) {
    names.push_back(n->name);
    addresses.push_back(lab_->node(n->name).address);
    log_before[n->name] = lab_->log(n->name).size();
  }
  tool.stub_ping6(ping_output_naming(addresses));
  testutil::Launch closed = tool.launch();
  closed.input = "y\n";
  closed.close_stdout = true;
  const testutil::Outcome r = tool.run(closed);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");

  // Each controller got the request and nothing else: none of the console
  // text went into a connection.
  for (const std::string& name : names)
    EXPECT_EQ(recorded(*lab_, name, log_before[name]), "51:" + kRequest + "\n") << name;

  // The descriptor itself was taken: the browser inherits /dev/null, not a
  // closed descriptor that its first open would take.
  EXPECT_EQ(tool.browser_calls(), "file:///tmp/disc734.html\n");
  EXPECT_EQ(tool.browser_stdout(), "/dev/null\n");
  // Without the summary the order is unknown: the rows as a set.
  EXPECT_EQ(rows_and_rest(tool.page()), rows_and_rest(page_for(listed_lines())));
}

/// The names in /tmp, one a line, and the page there, into `to`.ls and
/// `to`.page: what a run leaves in its private /tmp.
void keep_tmp(const std::string& to) {
  testutil::write_file(to + ".ls", testutil::names_in("/tmp"));
  testutil::write_file(to + ".page", testutil::read_file("/tmp/disc734.html"));
}

/// What is done to /tmp while the page is written.
enum class Act { kNothing, kPutTheirs, kTerminate };

/// In a process of its own: waits (10 s at the most) for the writer's new
/// file beside the page's path, then does `act`. The watch is set before
/// the return, so that the tool started next cannot make the file unseen.
pid_t watch_for_the_new_file(Act act) {
  const int watch = inotify_init1(IN_CLOEXEC);
  inotify_add_watch(watch, "/tmp", IN_CREATE);
  const pid_t pid = fork();
  if (pid != 0) {
    close(watch);
    return pid;
  }
  std::string name;
  pollfd p{watch, POLLIN, 0};
  alignas(inotify_event) char buffer[4096];
  while (name.empty() && poll(&p, 1, 10000) == 1) {
    const ssize_t n = read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && std::string(event->name).rfind("disc734.html.", 0) == 0)
        name = event->name;
      at += sizeof(inotify_event) + event->len;
    }
  }
  std::error_code ignored;
  if (act == Act::kPutTheirs) {
    testutil::write_file("/tmp/p", "theirs\n");
    if (chown("/tmp/p", 12345, 12345) != 0 || rename("/tmp/p", "/tmp/disc734.html") != 0)
      _exit(1);
  }
  // The process that holds the new file open: the tool.
  for (const auto& proc : std::filesystem::directory_iterator("/proc", ignored))
    for (const auto& fd : std::filesystem::directory_iterator(proc.path() / "fd", ignored))
      if (act == Act::kTerminate && std::filesystem::read_symlink(fd, ignored) == "/tmp/" + name &&
          proc.path().filename().string().find_first_not_of("0123456789") == std::string::npos)
        kill(std::stoi(proc.path().filename()), SIGTERM);
  _exit(0);
}

// A page that cannot be written whole is not written at all, and a file
// at its path is never replaced: a link planted there is refused and the
// file it names stays as it was; with /tmp full the earlier page stays.
// While the page is written slowly (strace holds its fsync back 2 s),
// another process acts as soon as the new file appears beside the path: a
// file put at the free path stays, whether the file system can rename
// without replacing or only link; a SIGTERM waits until the page has its
// name, then ends the run. No temporary file is ever left beside the path,
// and the browser starts for a page written alone. (What else is refused,
// and why, the unit tests tell.)
TEST_F(WholeRun, WhatStandsAtThePagesPath) {
  CONTR_REQUIRE(testutil::missing("strace"));
  const std::string theirs = "theirs\n", earlier(200000, 'e'), empty = testutil::expected_page("");
  const std::string no_rename_without_replacing = "inject=renameat2:error=EINVAL";
  const auto failed = [](const std::string& why) {
    return "Не удалось записать файл /tmp/disc734.html: " + why + "\n";
  };
  struct Case {
    std::string what;
    std::function<void()> plant;
    std::string tmp_size;
    std::optional<Act> act;  // while the page is written slowly
    std::string inject;      // into strace's run
    int signal;
    std::string err, page;
  } cases[] = {
      {"a planted link",
       [] {
         testutil::write_file("/tmp/target", "precious\n");
         std::filesystem::create_symlink("/tmp/target", "/tmp/disc734.html");
       },
       "", {}, "", 0, failed("Too many levels of symbolic links"), "precious\n"},
      {"a full /tmp",
       [&earlier] {
         testutil::write_file("/tmp/disc734.html", earlier);
         testutil::write_file("/tmp/fill", std::string(1 << 20, 'f'));  // what fits
       },
       "512k", {}, "", 0, failed("No space left on device"), earlier},
      {"a file put there", {}, "", Act::kPutTheirs, "", 0, failed("File exists"), theirs},
      {"a file put there, no rename without replacing", {}, "", Act::kPutTheirs,
       no_rename_without_replacing, 0, failed("File exists"), theirs},
      {"nothing put there, no rename without replacing", {}, "", Act::kNothing,
       no_rename_without_replacing, 0, "", empty},
      {"SIGTERM", {}, "", Act::kTerminate, "", SIGTERM, "", empty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ToolRunner tool(*lab_);
    tool.stub_ping6("PING ff02::1\n\n");
    if (c.act) {
      std::vector<std::string> strace = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f",
                                         "-qq", "-o", "/dev/null", "-e", "trace=fsync,renameat2",
                                         "-e", "inject=fsync:delay_exit=2000000"};
      if (!c.inject.empty())
        strace.insert(strace.end(), {"-e", c.inject});
      tool.launch_under(strace);
    }
    const std::string after = tool.out_dir() + "/after";
    pid_t watcher = -1;
    testutil::Launch l = tool.launch();
    l.input = "yes\n";
    l.tmp_size = c.tmp_size;
    l.before = [&] {
      if (c.plant)
        c.plant();
      if (c.act)
        watcher = watch_for_the_new_file(*c.act);
    };
    l.after = [&] {
      if (watcher != -1)
        waitpid(watcher, nullptr, 0);
      unlink("/tmp/fill");
      keep_tmp(after);
    };
    const testutil::Outcome r = tool.run(l);
    EXPECT_EQ(r.status, c.signal == 0 ? 0 : -1);
    EXPECT_EQ(r.signal, c.signal);
    EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(testutil::read_file(after + ".page"), c.page);
    const std::string listing = testutil::read_file(after + ".ls");
    EXPECT_EQ(listing.find("disc734.html."), std::string::npos) << listing;
    EXPECT_EQ(tool.browser_calls() != "", c.err.empty() && c.signal == 0);
  }
}

// What the run makes of what ping6 printed and of the answer: a ping6 that
// failed is reported, unless it found an address or only said that nobody
// answered (status 1), since an empty summary would tell the operator that
// the segment holds no controller; a page is written, and the browser
// started, only on a line that begins with y; a full standard output ends
// the run with status 1.
TEST_F(WholeRun, WhatPing6SaidAndTheAnswer) {
  const std::string& a = kAdapterAndAddress;
  const std::string summary = kAdapterAndAddress + kHeading + kTail;
  const std::string reachable = ping_output_naming({lab_->node("reachable").address});
  const std::string refused = "error:connect: Connection refused\n";
  enum class Ping6 { kStub, kNone, kNoDescriptors };
  struct Case {
    std::string what;
    Ping6 ping6;
    std::string out, err;
    int exit;
    std::string input, stdout_file;
    int status;
    std::string shown, said, page;
  } cases[] = {
      {"nobody answered", Ping6::kStub,
       "PING ff02::1(ff02::1) from :: eth0: 56 data bytes\n\n--- ff02::1 ping statistics ---\n",
       "", 0, "y\n", "", 0, summary, "", testutil::expected_page("")},
      {"nobody answered, iputils' status 1", Ping6::kStub, "PING ff02::1\n\n", "", 1, "n\n",
       "", 0, summary, "", ""},
      {"only nodes that fail", Ping6::kStub,
       ping_output_naming({lab_->node("refuse").address, lab_->host_address()}), "", 0, "",
       "", 0, summary, refused + refused, ""},
      {"inetutils: no -I", Ping6::kStub, "", "ping6: invalid option -- 'I'\n", 64, "\n", "",
       1, a, "ping6: invalid option -- 'I'\nerror:ping6 exit status 64\n", ""},
      {"not on the PATH", Ping6::kNone, "", "", 0, "\n", "", 1, a,
       "sh: 1: ping6: not found\nerror:ping6 exit status 127\n", ""},
      {"an error without output", Ping6::kStub, "", "", 2, "\n", "", 1, a,
       "error:ping6 exit status 2\n", ""},
      {"an error after one reply", Ping6::kStub, reachable, "", 2, "Y\n", "", 0,
       kAdapterAndAddress + kHeading + segment_node("reachable").line + "\n" + kTail, "", ""},
      // No descriptors left for the pipe: the shell never starts. What
      // standard output held (a file here, fully buffered) is kept.
      {"out of descriptors", Ping6::kNoDescriptors, "", "", 0, "\n", "", 1, a,
       "error:popen: Too many open files\n", ""},
      {"a full standard output", Ping6::kStub, reachable, "", 0, "y\n", "/dev/full", 1, "",
       "error:write: No space left on device\n",
       testutil::expected_page("<TR>" + segment_node("reachable").cells + "</TR>\n")},
  };
  for (const Case& c : cases) {
    testutil::ToolRunner tool(*lab_);
    testutil::Launch l = tool.launch();
    l.input = c.input;
    l.stdout_file = c.stdout_file;
    if (c.ping6 == Ping6::kStub)
      tool.stub_ping6(c.out, c.err, c.exit);
    else
      l.env.push_back("PATH=/nonexistent");
    if (c.ping6 == Ping6::kNoDescriptors)
      l.in_program = [] {
        const rlimit four{4, 4};
        setrlimit(RLIMIT_NOFILE, &four);
      };
    const std::string written = tool.out_dir() + "/written";
    l.after = [&] { testutil::write_file(written, testutil::read_file("/tmp/disc734.html")); };
    const testutil::Outcome r = tool.run(l);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.out, c.shown) << c.what;
    EXPECT_EQ(r.err, c.said) << c.what;
    EXPECT_EQ(testutil::read_file(written), c.page) << c.what;
    EXPECT_EQ(tool.browser_calls(), c.page.empty() ? "" : "file:///tmp/disc734.html\n");
    EXPECT_EQ(tool.page(), c.page) << c.what;
  }
}

// BusyBox's ping6 asks for a receive buffer of about 14 KiB, which holds
// about 18 answers that arrive at once (bench/answers); so this segment is
// the listed controllers alone (9 and the computer itself).
TEST(BusyBox, FindsTheSameControllersAsIputils) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("busybox"));
  std::vector<std::string> names;
  for (const SegmentNode* n : listed_nodes())
    names.push_back(n->name);
  testutil::SegmentLab segment(names);
  ASSERT_TRUE(segment.lab().ok()) << segment.lab().error();
  for (const bool busybox : {false, true}) {
    testutil::ToolRunner tool(segment.lab());
    if (busybox)
      tool.ping6("/bin/busybox");
    const testutil::Outcome r = tool.run("\n");
    const std::vector<std::string> printed = testutil::summary_lines(r.out);
    EXPECT_EQ(sorted(printed), listed_lines()) << "busybox: " << busybox;
    EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + joined(printed) + kTail);
    EXPECT_EQ(testutil::without_ping_warning(r.err),
              "error:connect: Connection refused\n");  // the computer
    EXPECT_EQ(r.status, 0);
  }
}

// A device that forges echo replies from off-link addresses cannot make
// the computer connect there: the node is asked once, through its
// link-local address, although it also holds the global one ping6 named
// and the computer could reach it there.
TEST(OffLink, AddressesOffTheLinkAreNotAsked) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24",
                    {"c1 --record --body '192.168.1.10 255.255.255.0 0 K1 "
                     "192.168.1.10 a S1'"});
  ASSERT_TRUE(lab.ok()) << lab.error();
  testutil::must({"ip", "-n", lab.node("c1").ns, "addr", "add", "2001:db8:77::5/64", "dev",
                  "eth0", "nodad"});
  testutil::must({"ip", "-n", lab.host_ns(), "addr", "add", "2001:db8:77::20/64", "dev",
                  lab.host_if(), "nodad"});
  testutil::ToolRunner tool(lab);
  // iputils' form and BusyBox's, global, unique-local, loopback and
  // multicast, around the node's own answer.
  tool.stub_ping6("PING ff02::1(ff02::1) 56 data bytes\n"
                  "64 bytes from 2001:db8:77::5%eth0: icmp_seq=1 ttl=64\n"
                  "64 bytes from 2001:db8:77::5: seq=0 ttl=64\n"
                  "64 bytes from " + lab.node("c1").address +
                  "%eth0: icmp_seq=1 ttl=64\n"
                  "64 bytes from fd00::1%eth0: icmp_seq=1 ttl=64\n"
                  "64 bytes from ::1: seq=0 ttl=64\n"
                  "64 bytes from ff02::2%eth0: icmp_seq=1 ttl=64\n\n");
  const testutil::Outcome r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading +
                       "192.168.1.10 'контроллер доступен' K1\tS1\n" + kTail);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(recorded(lab, "c1"), "51:" + kRequest + "\n");
}

// One device answering from more addresses than a sweep takes: the first
// 1024 that ping6 printed are asked, and the run says so. The computer's
// own addresses stand in for the device (the kernel's neighbour table
// holds 1024 entries for the whole machine), served by one simulator in
// its namespace; the six after them are held by nobody and would each
// cost a failed connect if asked.
TEST(Flood, OnlyTheFirst1024AddressesAreAsked) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24", {});
  ASSERT_TRUE(lab.ok()) << lab.error();
  std::string batch;
  std::vector<std::string> answering;
  char address[32];
  for (int n = 0; n < 1030; ++n) {
    snprintf(address, sizeof address, "fe80::1:%x", n);
    if (n < 1024)
      batch += "addr add " + std::string(address) + "/64 dev eth0 nodad\n";
    answering.push_back(address);
  }
  const testutil::Outcome added =
      testutil::run({.argv = {"ip", "-n", lab.host_ns(), "-batch", "-"}, .input = batch});
  ASSERT_EQ(added.status, 0) << added.err;
  ASSERT_TRUE(lab.serve({"--body", "192.168.1.10 255.255.255.0 1"}));
  testutil::ToolRunner tool(lab);
  tool.stub_ping6(ping_output_naming(answering));
  const testutil::Outcome r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string said = "Ответило больше 1024 адресов: опрашиваются первые 1024.\n";
  const std::string line =
      "192.168.1.10 'контроллер доступен' сетевые настройки не сконфигурированы\n";
  EXPECT_EQ(r.out, kAdapterAndAddress + said + kHeading + testutil::repeated(line, 1024) + kTail);
}

// The tool started the moment the adapter comes up, while its link-local
// address is still tentative (duplicate address detection), finds what is
// there all the same; with the far end of the cable down, it says so
// before the sweep, which then finds nobody but the computer itself.
TEST(Link, JustUpOrWithoutACarrier) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24",
                    {"c1 --body '192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a S1'"});
  ASSERT_TRUE(lab.ok()) << lab.error();
  const std::string c1 = "192.168.1.10 'контроллер доступен' K1\tS1\n";
  testutil::ToolRunner tool(lab);

  testutil::must({"ip", "-n", lab.host_ns(), "link", "set", "eth0", "down"});
  testutil::must({"ip", "-n", lab.host_ns(), "link", "set", "eth0", "up"});
  ASSERT_NE(testutil::output({"ip", "-n", lab.host_ns(), "-6", "addr", "show", "dev", "eth0",
                              "tentative"}),
            "") << "duplicate address detection is off: the case is not made";
  testutil::Outcome r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + c1 + kTail);

  // The switch's end: the host's adapter stays up, without a carrier.
  testutil::must({"ip", "-n", lab.prefix() + "-s", "link", "set", "h0", "down"});
  r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + "Сетевой кабель не подключён.\n" + kHeading + kTail);
  EXPECT_EQ(testutil::without_ping_warning(r.err), "error:connect: Connection refused\n");
}

}  // namespace
