// The whole run of the real binary on the shared lab segment: sweep,
// queries, summary, page and browser. The tool runs with a private /tmp and
// a stand-in chromium that records how it was called. Every expected line
// and row is written out in lab_segment.cpp.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "lab_segment.h"
#include "test_util.h"
#include "text_check.h"

namespace {

using testutil::kAdapterAndAddress;
using testutil::kHeading;
using testutil::kTail;
using testutil::segment_node;
using testutil::segment_nodes;
using testutil::SegmentNode;

const std::string kRequest =
    "GET /get_contr_net_info HTTP/1.1\nConnection:close\n\n";

/// A reply without a header block, as the console shows it.
std::string not_found(const std::string& quoted) {
  return "Заголовок не найден.\n" + quoted;
}

// What the failing nodes print while the sweep runs, in any order. Those
// whose quoted text begins like another's are taken away first.
const std::vector<std::string> kSweepMessages = {
    "error:recv timeout",     // hang
    "error:recv timeout",     // keepopen
    "error:recv timeout",     // drip
    "error:reply too large",  // huge
    "error:reply too large",  // mib_plus
    "error:recv failed",      // reset
    not_found("> ?[2J?[3J192.168.1.50 255.255.255.0 1 Щит-управления\n"
              "> -насосной-станцией\r\n"),  // noheader
    not_found("> \n"),  // silent
};
const std::vector<std::string> kSweepErrors = {
    "error:connect: Connection refused\n",  // refuse
    "error:connect: Connection refused\n",  // pingonly
    "error:connect: Connection refused\n",  // the computer itself
    "error:connect: Connection timed out\n",  // drop
};

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

/// The summary's lines as the tool printed them, each with its line end.
std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

std::vector<const SegmentNode*> listed_nodes() {
  std::vector<const SegmentNode*> listed;
  for (const SegmentNode& n : segment_nodes())
    if (!n.line.empty())
      listed.push_back(&n);
  return listed;
}

std::vector<std::string> sorted_expected_lines() {
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

/// A stand-in ping6 output naming these nodes once each.
std::string ping_output_naming(const testutil::Lab& lab,
                               const std::vector<std::string>& names) {
  std::string out = "PING ff02::1(ff02::1) 56 data bytes\\n";
  for (const std::string& name : names)
    out += "64 bytes from " + lab.node(name).address + "%%eth0: icmp_seq=1\\n";
  return out + "\\n";
}

class WholeRun : public testutil::SegmentTest {
 protected:
  void SetUp() override {
    if (lab_ != nullptr)
      tool_ = std::make_unique<testutil::ToolRunner>(*lab_);
  }

  /// Checks a run that swept the whole segment, whichever ping6 found it.
  void expect_whole_segment(const testutil::ProcessResult& r) {
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> printed = testutil::summary_lines(r.out);
    EXPECT_EQ(sorted(printed), sorted_expected_lines());
    std::string sweep = r.out;
    ASSERT_TRUE(testutil::remove_each(sweep, kSweepMessages)) << r.out;
    EXPECT_EQ(sweep, kAdapterAndAddress + kHeading + joined(printed) + kTail);
    EXPECT_EQ(textcheck::foreign_in(r.out, " \t\n\r"), "");

    std::string err = testutil::without_ping_warning(r.err);
    ASSERT_TRUE(testutil::remove_each(err, kSweepErrors)) << r.err;
    EXPECT_EQ(err, "");
  }

  std::unique_ptr<testutil::ToolRunner> tool_;
};

TEST_F(WholeRun, EveryKindOfNodeAtOnce) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  const testutil::ProcessResult r = tool_->run("y\n");
  expect_whole_segment(r);

  // The bounds: the ping deadline, 2 s for the dropped attempt, 5 s for
  // each of the three stalled exchanges, and a little for all the rest.
  EXPECT_LT(tool_->seconds(), 2.0 + 2.0 + 3 * 5.0 + 4.0);
  // The memory a run takes is measured by bench/sweep.
  RecordProperty("seconds", std::to_string(tool_->seconds()));
  RecordProperty("peak_kib", std::to_string(tool_->peak_kib()));

  // The page rows come in the order of the summary.
  EXPECT_EQ(tool_->browser_calls(), "file:///tmp/disc734.html\n");
  const std::vector<std::string> printed = testutil::summary_lines(r.out);
  EXPECT_EQ(tool_->page(), page_for(printed));

  // The same page in a real browser: links where the address is a dotted
  // quad, the hostile name as text. Chromium runs in an empty namespace of
  // its own, so it cannot reach any network.
  CONTR_REQUIRE(testutil::missing("chromium"));
  testutil::Netns isolated;
  const std::string dom = testutil::sh_out(
      "ip netns exec " + isolated.name() + " env HOME=" + tool_->out_dir() +
      " chromium --headless --no-sandbox --disable-gpu --disable-quic "
      "--no-first-run --disable-background-networking "
      "--disable-component-update --disable-sync --user-data-dir=" +
      tool_->out_dir() + "/profile --dump-dom file://" + tool_->out_dir() +
      "/page.html 2>/dev/null");
  for (const std::string ip : {"192.168.1.10", "10.0.0.5", "192.168.2.5",
                               "192.168.1.11", "192.168.1.12", "192.168.1.13",
                               "192.168.1.16"}) {
    for (const std::string path :
         {"/get_local_file/fbd.html", "/get_local_file/mal.html"})
      EXPECT_NE(dom.find("<a href=\"http://" + ip + path + "\">" + ip + path +
                         "</a>"),
                std::string::npos)
          << ip << path << "\n" << dom;
  }
  EXPECT_NE(dom.find("<td>&lt;b&gt;K&amp;6&lt;/b&gt;&lt;script&gt;x()&lt;/"
                     "script&gt;</td>"),
            std::string::npos)
      << dom;
  EXPECT_EQ(dom.find("<script>"), std::string::npos) << dom;
  EXPECT_EQ(dom.find("<img"), std::string::npos) << dom;
  EXPECT_EQ(dom.find("<a href=\"http://b"), std::string::npos) << dom;
}

TEST_F(WholeRun, StandardOutputClosed) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  std::vector<std::string> names;
  std::map<std::string, size_t> log_before;
  for (const SegmentNode* n : listed_nodes()) {
    names.push_back(n->name);
    log_before[n->name] = lab_->log(n->name).size();
  }
  tool_->stub_ping6(ping_output_naming(*lab_, names));
  const testutil::ProcessResult r = tool_->run("y\n", "true", ">&-");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");

  // Each controller got the request and nothing else: none of the console
  // text went into a connection.
  for (const std::string& name : names) {
    std::string got;
    for (int i = 0; i < 50 && got.empty(); ++i) {
      got = lab_->log(name).substr(log_before[name]);
      if (got.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(got, "51:" + kRequest + "\n") << name;
  }

  // Without the summary the order is unknown: the rows as a set.
  EXPECT_EQ(tool_->browser_calls(), "file:///tmp/disc734.html\n");
  // The descriptor itself was taken: the browser inherits /dev/null, not a
  // closed descriptor that its first open would take.
  EXPECT_EQ(tool_->browser_stdout(), "/dev/null\n");
  const std::string page = tool_->page();
  const std::string empty = testutil::expected_page("");
  const size_t rows_at = empty.size() - 26;  // before the fixed tail
  ASSERT_GT(page.size(), empty.size());
  EXPECT_EQ(page.substr(0, rows_at), empty.substr(0, rows_at));
  EXPECT_EQ(page.substr(page.size() - 26), empty.substr(rows_at));
  std::vector<std::string> rows, expected;
  std::istringstream in(page.substr(rows_at, page.size() - 26 - rows_at));
  for (std::string row; std::getline(in, row);)
    rows.push_back(row);
  for (const SegmentNode* n : listed_nodes())
    expected.push_back("<TR>" + n->cells + "</TR>");
  EXPECT_EQ(sorted(rows), sorted(expected));
}

// A link planted at the path: the page is refused with a line that says
// why, the file it names stays as it was, and no browser starts. (What
// else is refused, and with which reason, the unit tests tell.)
TEST_F(WholeRun, APlantedLinkIsRefusedAndNoBrowserStarts) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1\\n\\n");
  const std::string after = tool_->out_dir() + "/target-after";
  const testutil::ProcessResult r = tool_->run(
      "yes\n", "echo precious >/tmp/target && ln -s /tmp/target /tmp/disc734.html",
      "", "cat /tmp/target >" + after);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err,
            "Не удалось записать файл /tmp/disc734.html: Too many levels of "
            "symbolic links\n");
  EXPECT_EQ(testutil::read_file(after), "precious\n");
  EXPECT_EQ(tool_->browser_calls_after_the_run(), "");
}

// /tmp full: the new page cannot be written whole, so the earlier one
// stays as it was and no half-written file is left beside it.
TEST_F(WholeRun, FullTmpKeepsTheEarlierPage) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1\\n\\n");
  const std::string earlier(200000, 'e');
  const std::string after = tool_->out_dir() + "/after";
  const testutil::ProcessResult r = tool_->run(
      "y\n",
      "mount -o remount,size=512k /tmp && head -c 200000 /dev/zero | tr "
      "\\\\0 e >/tmp/disc734.html && { cat /dev/zero >/tmp/fill 2>/dev/null; "
      "true; }",
      "",
      "rm /tmp/fill && ls -A /tmp >" + after + ".ls && cp /tmp/disc734.html " +
          after + ".page");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err,
            "Не удалось записать файл /tmp/disc734.html: No space left on "
            "device\n");
  EXPECT_EQ(testutil::read_file(after + ".page"), earlier);
  // The private /tmp holds the trees only where they lie under /tmp.
  std::string listing = testutil::read_file(after + ".ls");
  EXPECT_EQ(listing.find("disc734.html."), std::string::npos) << listing;
  EXPECT_NE(listing.find("disc734.html\n"), std::string::npos) << listing;
  EXPECT_EQ(tool_->browser_calls_after_the_run(), "");
}

// The page is written slowly (strace holds its fsync back 2 s) while
// another process acts on /tmp as soon as the new file appears beside the
// path: a file put at the free path is never replaced, whether the file
// system can rename without replacing or only link; a SIGTERM waits until
// the page has its name, then ends the run, and no temporary file is left.
TEST_F(WholeRun, WhatHappensWhileThePageIsWritten) {
  REQUIRE_NETNS();
  CONTR_REQUIRE(testutil::missing("strace"));
  ASSERT_TRUE(lab_->ok());
  const std::string kTheirs = "theirs\n";
  struct Case {
    std::string what, inject, act;
    int status;
    std::string err, page;
    bool browser;
  } cases[] = {
      {"a file put there", "",
       "echo theirs >/tmp/p && chown 12345:12345 /tmp/p && "
       "mv /tmp/p /tmp/disc734.html",
       0, "Не удалось записать файл /tmp/disc734.html: File exists\n", kTheirs,
       false},
      {"a file put there, no rename without replacing",
       "-e inject=renameat2:error=EINVAL ",
       "echo theirs >/tmp/p && chown 12345:12345 /tmp/p && "
       "mv /tmp/p /tmp/disc734.html",
       0, "Не удалось записать файл /tmp/disc734.html: File exists\n", kTheirs,
       false},
      {"nothing put there, no rename without replacing",
       "-e inject=renameat2:error=EINVAL ", "true", 0, "",
       testutil::expected_page(""), true},
      {"SIGTERM",
       "",
       // The process that holds the new file open: the tool.
       "for f in $(find /proc/[0-9]*/fd -lname \"/tmp/$t\" 2>/dev/null); do "
       "p=${f#/proc/}; kill -TERM ${p%%/*}; done",
       // bash tells how its command ended.
       128 + 15, "Terminated\n", testutil::expected_page(""), false},
  };
  for (const Case& c : cases) {
    testutil::ToolRunner tool(*lab_);
    tool.stub_ping6("PING ff02::1\\n\\n");
    tool.launch_under(
        "env ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null -e "
        "trace=fsync,renameat2 -e inject=fsync:delay_exit=2000000 " +
        c.inject);
    const std::string after = tool.out_dir() + "/after";
    // Waits (10 s at the most) for the new file beside the path, as $t.
    // In a group of its own: a bare "&" would send the whole chain of
    // mounts before it into the background, and the tool would start
    // before its private /tmp is there.
    const std::string watcher =
        "{ { for i in $(seq 500); do t=$(ls /tmp | grep \"^disc734[.]html[.]\"); "
        "[ -n \"$t\" ] && break; sleep 0.02; done; " + c.act + "; } & }";
    const testutil::ProcessResult r = tool.run(
        "y\n", watcher, "",
        "wait; ls -A /tmp >" + after + ".ls; cat /tmp/disc734.html >" + after +
            ".page");
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(testutil::read_file(after + ".page"), c.page) << c.what;
    const std::string listing = testutil::read_file(after + ".ls");
    EXPECT_EQ(listing.find("disc734.html."), std::string::npos)
        << c.what << ": " << listing;
    EXPECT_EQ(tool.browser_calls_after_the_run() != "", c.browser) << c.what;
  }
}

TEST_F(WholeRun, RefusalAndEndOfInputWriteNothing) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1\\n\\n");
  for (const std::string input : {"n\n", "", "Y\n", "\n"}) {
    const std::string after = tool_->out_dir() + "/written";
    const testutil::ProcessResult r = tool_->run(
        input, "true", "",
        "if [ -e /tmp/disc734.html ]; then echo written >" + after + "; fi");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail) << input;
    EXPECT_EQ(testutil::read_file(after), "") << input;
  }
  EXPECT_EQ(tool_->browser_calls_after_the_run(), "");
}

TEST_F(WholeRun, NoNeighboursAtAll) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1(ff02::1) from :: eth0: 56 data bytes\\n\\n"
                    "--- ff02::1 ping statistics ---\\n");
  const testutil::ProcessResult r = tool_->run("y\n");
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(tool_->browser_calls(), "file:///tmp/disc734.html\n");
  EXPECT_EQ(tool_->page(), testutil::expected_page(""));
}

TEST_F(WholeRun, OnlyFailingNeighbours) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  // The refusing node and the host's own address, found by a stand-in
  // ping6 that names just those two.
  tool_->stub_ping6("PING x\\n64 bytes from " + lab_->node("refuse").address +
                    "%%eth0: icmp_seq=1\\n64 bytes from " +
                    lab_->host_address() + "%%eth0: icmp_seq=1\\n\\n");
  const testutil::ProcessResult r = tool_->run("");
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err, "error:connect: Connection refused\n"
                   "error:connect: Connection refused\n");
  EXPECT_EQ(r.status, 0);
}

// A ping6 that fails is reported, unless it found an address or only
// said that nobody answered (status 1): an empty summary would tell the
// operator that the segment holds no controller.
TEST_F(WholeRun, FailingPing6IsReported) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  const std::string reply = "64 bytes from " +
                            lab_->node("reachable").address +
                            "%eth0: icmp_seq=1 ttl=64 time=0.1 ms";
  struct Case {
    std::string what, prepare, script;
    int status;
    std::string out, err;
  } cases[] = {
      {"inetutils: no -I", "true",
       "echo \"ping6: invalid option -- 'I'\" >&2; exit 64", 1,
       kAdapterAndAddress,
       "ping6: invalid option -- 'I'\nerror:ping6 exit status 64\n"},
      {"not on the PATH", "PATH=/nonexistent", "", 1, kAdapterAndAddress,
       "sh: 1: ping6: not found\nerror:ping6 exit status 127\n"},
      {"error without output", "true", "exit 2", 1, kAdapterAndAddress,
       "error:ping6 exit status 2\n"},
      {"nobody answered", "true", "echo 'PING ff02::1'; echo; exit 1", 0,
       kAdapterAndAddress + kHeading + kTail, ""},
      {"an error after one reply", "true",
       "echo 'PING ff02::1'; echo '" + reply + "'; exit 2", 0,
       kAdapterAndAddress + kHeading + segment_node("reachable").line + "\n" +
           kTail,
       ""},
      // No descriptors left for the pipe: the shell never starts. What
      // standard output held (a file here, fully buffered) is kept.
      {"out of descriptors", "ulimit -n 4", "", 1, kAdapterAndAddress,
       "error:popen: Too many open files\n"},
  };
  for (const Case& c : cases) {
    if (c.prepare == "true")
      tool_->stub_ping6_script(c.script);
    else
      testutil::sh("rm -f " + tool_->out_dir() + "/bin/ping6");
    const testutil::ProcessResult r = tool_->run("\n", c.prepare);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
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
  ASSERT_TRUE(segment.lab().ok());
  for (const bool busybox : {false, true}) {
    testutil::ToolRunner tool(segment.lab());
    if (busybox)
      tool.busybox_ping6();
    const testutil::ProcessResult r = tool.run("\n");
    const std::vector<std::string> printed = testutil::summary_lines(r.out);
    EXPECT_EQ(sorted(printed), sorted_expected_lines()) << "busybox: " << busybox;
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
  ASSERT_TRUE(lab.ok());
  ASSERT_EQ(testutil::sh("ip -n " + lab.node("c1").ns +
                         " addr add 2001:db8:77::5/64 dev eth0 nodad && ip -n " +
                         lab.host_ns() + " addr add 2001:db8:77::20/64 dev " +
                         lab.host_if() + " nodad"),
            0);
  testutil::ToolRunner tool(lab);
  // iputils' form and BusyBox's, global, unique-local, loopback and
  // multicast, around the node's own answer.
  tool.stub_ping6("PING ff02::1(ff02::1) 56 data bytes\\n"
                  "64 bytes from 2001:db8:77::5%%eth0: icmp_seq=1 ttl=64\\n"
                  "64 bytes from 2001:db8:77::5: seq=0 ttl=64\\n"
                  "64 bytes from " + lab.node("c1").address +
                  "%%eth0: icmp_seq=1 ttl=64\\n"
                  "64 bytes from fd00::1%%eth0: icmp_seq=1 ttl=64\\n"
                  "64 bytes from ::1: seq=0 ttl=64\\n"
                  "64 bytes from ff02::2%%eth0: icmp_seq=1 ttl=64\\n\\n");
  const testutil::ProcessResult r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading +
                       "192.168.1.10 'контроллер доступен' K1\tS1\n" + kTail);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(lab.log("c1"), "51:" + kRequest + "\n");
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
  ASSERT_TRUE(lab.ok());
  std::string batch, answers = "PING ff02::1(ff02::1) 56 data bytes\n";
  char address[32];
  for (int n = 0; n < 1030; ++n) {
    snprintf(address, sizeof address, "fe80::1:%x", n);
    if (n < 1024)
      batch += "addr add " + std::string(address) + "/64 dev eth0 nodad\n";
    answers += "64 bytes from " + std::string(address) +
               "%eth0: icmp_seq=1 ttl=64 time=0.1 ms\n";
  }
  const std::string batch_file = testutil::write_temp_file("batch", batch);
  ASSERT_EQ(testutil::sh("ip -n " + lab.host_ns() + " -batch " + batch_file), 0);
  ASSERT_TRUE(lab.serve("--body '192.168.1.10 255.255.255.0 1'"));
  testutil::ToolRunner tool(lab);
  // Where the tool's private /tmp does not hide it.
  const std::string answers_file = tool.out_dir() + "/answers";
  { std::ofstream(answers_file) << answers << "\n"; }
  tool.stub_ping6_script("cat " + answers_file);
  const testutil::ProcessResult r = tool.run("\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            kAdapterAndAddress +
                "Ответило больше 1024 адресов: опрашиваются первые 1024.\n" +
                kHeading +
                testutil::repeated("192.168.1.10 'контроллер доступен' сетевые "
                                   "настройки не сконфигурированы\n",
                                   1024) +
                kTail);
  unlink(batch_file.c_str());
}

// Standard output on a full device: the run goes on as the operator
// answers, and its end says that the output was lost.
TEST(StandardOutput, AFailedWriteEndsWithStatus1) {
  REQUIRE_NETNS();
  testutil::Lab lab("eth0 192.168.1.20/24",
                    {"c1 --body '192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a S1'"});
  ASSERT_TRUE(lab.ok());
  testutil::ToolRunner tool(lab);
  tool.stub_ping6(ping_output_naming(lab, {"c1"}));
  const testutil::ProcessResult r = tool.run("y\n", "true", ">/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "error:write: No space left on device\n");
  EXPECT_EQ(tool.page(),
            testutil::expected_page(
                "<TR>" +
                testutil::row7(testutil::Address::kDottedQuad, "192.168.1.10",
                               true, "K1", "S1") +
                "</TR>\n"));
}

}  // namespace
