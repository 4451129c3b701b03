#include "ping6.h"

#include <sys/wait.h>

#include <csignal>
#include <set>

#include "files.h"
#include "launch.h"

namespace {

using Set = std::set<std::string>;

Set parsed(const std::string& output,
           std::unordered_set<std::string> start = {}) {
  parse_ping_output(output, start);
  return Set(start.begin(), start.end());
}

TEST(PingParse, Lines) {
  // Built by appending: GCC bug 105651, see docs/testing.md.
  std::string overlong_first(600, 'x'), overlong_last = "64 bytes from fe80::3%eth0: x";
  overlong_first += " from fe80::1%eth0: x\n64 bytes from fe80::2%e: x\n";
  overlong_last.append(600, ' ');
  overlong_last += "\n";
  const std::string heading = "PING ff02::1(ff02::1) from :: eth0: 56 data bytes\n";
  struct Case {
    std::string output;
    Set expected;
  } cases[] = {
      {"", {}},
      {heading + "\n", {}},
      {heading +
           "64 bytes from fe80::1%eth0: icmp_seq=1 ttl=64 time=0.1 ms\n"
           "64 bytes from fe80::2%eth0: icmp_seq=1 ttl=64 time=0.1 ms\n"
           "64 bytes from fe80::3%eth0: icmp_seq=1 ttl=64 time=0.1 ms\n"
           "64 bytes from fe80::1%eth0: icmp_seq=2 ttl=64 time=0.1 ms\n"
           "64 bytes from fe80::2%eth0: icmp_seq=2 ttl=64 time=0.1 ms (DUP!)\n"
           "64 bytes from fe80::3%eth0: icmp_seq=2 ttl=64 time=0.1 ms (DUP!)\n",
       {"fe80::1", "fe80::2", "fe80::3"}},
      // Markers after the fourth word do not matter.
      {"64 bytes from fe80::a%eth0: icmp_seq=1 ttl=64 time=0.1 ms "
       "(DIFFERENT ADDRESS!)\n",
       {"fe80::a"}},
      // A last line without a line feed still counts.
      {"64 bytes from fe80::b%eth0: icmp_seq=1", {"fe80::b"}},
      // Nothing after the first empty line is read.
      {"64 bytes from fe80::c%e: x\n\n64 bytes from fe80::d%e: x\n",
       {"fe80::c"}},
      // PING lines are skipped wherever they stand.
      {"64 bytes from fe80::c%e: x\nPING 1 2 fe80::e%e:\n", {"fe80::c"}},
      // Tabs and runs of blanks separate words too.
      {"64\tbytes   from \t fe80::f%eth0: icmp_seq=1\n", {"fe80::f"}},
      // A fourth word without a zone is taken whole when it is an address.
      {"a b c fe80::10\n", {"fe80::10"}},
      // BusyBox: no zone, the colon directly after the address; one colon
      // goes, so an address that ends in :: keeps its own.
      {"PING ff02::1 (ff02::1): 56 data bytes\n"
       "64 bytes from fe80::7051:2aff:fe73:5a78: seq=0 ttl=64 time=0.133 ms\n"
       "64 bytes from fe80::2: seq=0 ttl=64 time=0.2 ms (DUP!)\n"
       "64 bytes from fe80::7051:2aff:fe73:5a78: seq=1 ttl=64 time=0.1 ms\n"
       "64 bytes from fe80::2: seq=1 ttl=64 time=0.2 ms (DUP!)\n"
       "64 bytes from fe80::: seq=1 ttl=64 time=0.2 ms (DUP!)\n",
       {"fe80::7051:2aff:fe73:5a78", "fe80::2", "fe80::"}},
      // Only one colon goes; what is left must be an address itself.
      {"64 bytes from fe80::3:: seq=0\n64 bytes from fe80::4:::: seq=0\n"
       "64 bytes from : seq=0\n",
       {}},
      // Odd lines: too few words, blanks only, error reports, words that are
      // no address, a zone only.
      {"   \nping6: sendmsg: Network is unreachable\nfrom\n"
       "64 bytes from host.example%eth0: x\n64 bytes from %eth0: x\n"
       "64 bytes from 10.0.0.1%eth0: x\n64 bytes from fe80::1%%eth0: x\n",
       {"fe80::1"}},
      {std::string("64 bytes from fe80::1\0x%eth0: x\n", 33), {}},
      // Only the link answers a link-local multicast ping: replies from
      // anywhere else are forged, in either utility's form.
      {"64 bytes from 2001:db8:77::5%eth0: icmp_seq=1 ttl=64\n"
       "64 bytes from fd00::1%eth0: icmp_seq=1 ttl=64\n"
       "64 bytes from ::1%lo: icmp_seq=1 ttl=64\n"
       "64 bytes from ff02::1%eth0: icmp_seq=1 ttl=64\n"
       "64 bytes from ::ffff:192.168.1.10%eth0: icmp_seq=1\n"
       "64 bytes from fec0::1%eth0: icmp_seq=1\n"
       "64 bytes from fe7f::1%eth0: icmp_seq=1\n"
       "64 bytes from febf:ffff::1%eth0: icmp_seq=1\n",
       {"febf:ffff::1"}},
      {"64 bytes from 2001:db8:77::5: seq=0 ttl=64 time=0.1 ms\n"
       "64 bytes from fd00::1: seq=0 ttl=64 time=0.1 ms (DUP!)\n"
       "64 bytes from ::1: seq=0 ttl=64 time=0.1 ms (DUP!)\n"
       "64 bytes from ff02::2: seq=0 ttl=64 time=0.1 ms (DUP!)\n"
       "64 bytes from FE80::AB: seq=0 ttl=64 time=0.1 ms (DUP!)\n",
       {"FE80::AB"}},
      // A line longer than any ping6 prints is skipped; the next one counts.
      {overlong_first, {"fe80::2"}},
      {overlong_last, {}},
      // A heading with lower case is no heading; its fourth word is no
      // address, so nothing is taken.
      {"ping ff02::1(ff02::1) 56 data bytes\n", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parsed(c.output), c.expected) << c.output;
}

/// The iputils line of an answer from fe80::1:N.
std::string answer(int n) {
  return "64 bytes from fe80::1:" + std::to_string(n) + "%eth0: icmp_seq=1 ttl=64 time=0.1 ms\n";
}

// The first kMaxNeighbours distinct addresses, in the order ping6 printed
// them; repeats and answers after the empty line do not count.
TEST(PingParse, KeepsTheFirst1024Addresses) {
  struct Case {
    std::string what;
    int distinct, repeats;
    bool left_out;
  } cases[] = {
      {"one short of the cap", 1023, 0, false},
      {"the cap", 1024, 0, false},
      {"the cap, each answering twice", 1024, 1024, false},
      {"one more", 1025, 0, true},
      {"a flood", 5000, 2000, true},
  };
  for (const Case& c : cases) {
    std::string output = "PING ff02::1(ff02::1) 56 data bytes\n";
    Set expected;
    for (int n = 0; n < c.distinct; ++n) {
      output += answer(n);
      if (n < static_cast<int>(kMaxNeighbours))
        expected.insert("fe80::1:" + std::to_string(n));
    }
    for (int n = 0; n < c.repeats; ++n)
      output += answer(n % 1024);
    output += "\n" + answer(99999);
    std::unordered_set<std::string> found;
    EXPECT_EQ(parse_ping_output(output, found), c.left_out) << c.what;
    EXPECT_EQ(Set(found.begin(), found.end()), expected) << c.what;
  }
}

// Output that arrives in pieces, cut anywhere, gives what it gives whole.
TEST(PingParse, PiecesGiveWhatTheWholeGives) {
  std::string output = "PING ff02::1(ff02::1) 56 data bytes\n" + answer(1) +
                       answer(2) + "64 bytes from fe80::3: seq=0\n";
  output.append(700, 'z');  // a line too long for ping6 (GCC bug 105651)
  // Too long as a whole, though every piece of it is short: skipped.
  output += "\n64 bytes from fe80::6%eth0: ";
  output.append(600, 'w');
  output += "\n" + answer(4) + "64 bytes from fe80::5%eth0: x";
  const Set whole = parsed(output);
  ASSERT_EQ(whole, (Set{"fe80::1:1", "fe80::1:2", "fe80::3", "fe80::1:4",
                        "fe80::5"}));
  for (size_t piece = 1; piece <= 130; ++piece) {
    std::unordered_set<std::string> found;
    PingOutputParser parser(found);
    for (size_t at = 0; at < output.size(); at += piece)
      parser.feed(std::string_view(output).substr(at, piece));
    parser.finish();
    EXPECT_EQ(Set(found.begin(), found.end()), whole) << piece;
  }
}

TEST(PingParse, KeepsWhatTheSetHeld) {
  EXPECT_EQ(parsed("64 bytes from fe80::1%eth0: x\n", {"fe80::1", "fe80::9"}),
            (Set{"fe80::1", "fe80::9"}));
}

// Written by iputils' and by BusyBox's ping6 in a lab segment of three
// controllers and the host; in BusyBox's every reply after the host's own
// is marked (DUP!).
TEST(PingParse, CapturedOutputOfBothUtilities) {
  for (const std::string file : {"ping6_lab.txt", "ping6_busybox.txt"}) {
    const std::string output = testutil::read_file(testutil::source_dir() + "/tests/data/" + file);
    ASSERT_NE(output.find("64 bytes from fe80::ff:fe00:103"), std::string::npos) << file;
    EXPECT_EQ(parsed(output), (Set{"fe80::ff:fe00:101", "fe80::ff:fe00:102",
                                   "fe80::ff:fe00:103", "fe80::ff:fe00:1"})) << file;
  }
}

TEST(ShellQuote, OneWordForTheShell) {
  struct Case {
    std::string word;
    std::string quoted;
  } cases[] = {
      {"eth0", "'eth0'"}, {"", "''"}, {"a'b", "'a'\\''b'"}, {"x;touch y", "'x;touch y'"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(shell_quote(c.word), c.quoted);
  // The shell gives back the very bytes: here the command line for the
  // shell is what is under test.
  for (const std::string word : {"$(id)", "a'b'c", "e;f", "`g`", "h i"})
    EXPECT_EQ(testutil::output({"/bin/sh", "-c", "printf %s " + shell_quote(word)}),
              word);
}

TEST(PingFailure, OnlyAFailedPingThatFoundNothingIsReported) {
  struct Case {
    int status;
    bool found_any;
    std::string report;
  } cases[] = {
      {0 << 8, false, ""},
      {1 << 8, false, ""},  // iputils: nobody answered
      {2 << 8, false, "error:ping6 exit status 2"},
      {64 << 8, false, "error:ping6 exit status 64"},
      {126 << 8, false, "error:ping6 exit status 126"},
      {127 << 8, false, "error:ping6 exit status 127"},
      {255 << 8, false, "error:ping6 exit status 255"},
      {SIGTERM, false, "error:ping6 signal 15"},  {SIGKILL, false, "error:ping6 signal 9"},
      {2 << 8, true, ""},                         {SIGTERM, true, ""},
      {-1, false, ""},  // pclose itself failed: nothing known to report
  };
  for (const Case& c : cases)
    EXPECT_EQ(ping_failure(c.status, c.found_any), c.report) << c.status;
}

TEST(Exec, GivesTheOutputWholeAndTheStatus) {
  int status = -5;
  EXPECT_EQ(exec("echo out; exit 3", &status), "out\n");
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  // Longer lines than a read takes, whole (appended: GCC bug 105651).
  std::string expected(299, '0');
  expected += "7\nend";
  EXPECT_EQ(exec("printf '%0300d\\nend' 7"), expected);
  EXPECT_EQ(exec("true"), "");
}

}  // namespace
