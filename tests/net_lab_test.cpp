// The query client against simulated controllers on a lab segment.

#include "net.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "lab_segment.h"
#include "ping6.h"

namespace {

/// Count of open descriptors of this process.
int open_fd_count() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr)
    return -1;
  while (readdir(dir) != nullptr)
    ++count;
  closedir(dir);
  return count;
}

class NetLab : public testutil::SegmentTest {
 protected:
  struct Query {
    bool ok;
    std::string body;
    double seconds;
    bool fds_same;
  };

  /// Queries the node in a child process inside the host namespace.
  static Query query(const std::string& node) {
    const std::string address = lab_->node(node).address;
    testutil::InNetns in(lab_->host_ns());
    Query q{};
    const testutil::ChildResult r = testutil::run_child("", [&] {
      const int fds = open_fd_count();
      std::string body = "unchanged";
      const auto start = std::chrono::steady_clock::now();
      const bool ok = request_contr_net_info(address.c_str(), 7,
                                             lab_->host_if().c_str(), body);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      return std::string(ok ? "1" : "0") +
             (open_fd_count() == fds ? "1" : "0") + std::to_string(took.count()) + "|" + body;
    });
    q.ok = r.result[0] == '1';
    q.fds_same = r.result[1] == '1';
    const size_t bar = r.result.find('|');
    q.seconds = std::stod(r.result.substr(2, bar - 2));
    q.body = r.result.substr(bar + 1);
    return q;
  }
};

// What the client hands back, and how soon it gives up on a stalled peer:
// by its own bound, not the kernel's minutes-long patience (no timing
// benchmark). Its messages are checked where the whole run prints them,
// in the sweep test.
TEST_F(NetLab, Replies) {
  struct Case {
    std::string node;
    bool ok;
    std::string body = "unchanged";
    double bound = 0;  // seconds, for a stalled peer
  } cases[] = {
      {"reachable", true, testutil::segment_node("reachable").body},
      {"big", true, std::string(30000, 'b')},
      {"noheader", false},
      {"silent", false},
      {"refuse", false},
      {"pingonly", false},
      {"huge", false},
      {"mib", true,
       testutil::segment_node("mib").body.substr(sizeof "HTTP/1.1 200 OK\r\n\r\n" - 1)},
      {"mib_plus", false},
      {"reset", false},
      {"drop", false, "unchanged", 2.0},
      {"hang", false, "unchanged", 5.0},
      {"keepopen", false, "unchanged", 5.0},
      {"drip", false, "unchanged", 5.0},
  };
  for (const Case& c : cases) {
    const Query q = query(c.node);
    EXPECT_EQ(q.ok, c.ok) << c.node;
    EXPECT_EQ(q.body, c.body) << c.node;
    EXPECT_TRUE(q.fds_same) << c.node << ": a descriptor stayed open";
    if (c.bound > 0) {
      EXPECT_GE(q.seconds, c.bound * 0.95) << c.node;
      EXPECT_LT(q.seconds, c.bound + 1.5) << c.node;
    }
  }
}

// Sending: an empty text, one block; on a connection that the peer reset,
// a failure that says so, and no SIGPIPE.
TEST_F(NetLab, Sending) {
  testutil::InNetns in(lab_->host_ns());
  const auto connected = [](const std::string& node) {
    return connect_ipv6(lab_->node(node).address.c_str(), 0, lab_->host_if().c_str(), 1100, 6);
  };
  testutil::ChildResult r = testutil::run_child("", [&] {
    const int fd = connected("reachable");
    crs_send_string(fd, "");
    return std::to_string(crs_send(fd, "GET", 3, 0));
  });
  EXPECT_EQ(r.result, "3");
  EXPECT_EQ(r.out, "");
  r = testutil::run_child("", [&] {
    const int fd = connected("reset");
    crs_send_string(fd, "x");  // answered by a reset
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    crs_send_string(fd, std::string(100000, 'x'));
    return std::string("alive");
  });
  EXPECT_EQ(r.result, "alive");
  EXPECT_EQ(r.out, "crs_send failed");
}

TEST_F(NetLab, AddressesThatCannotBeConnected) {
  const std::string good = lab_->node("reachable").address;
  const std::string not_an_address =
      "web_connect_not_wait:Ошибка: второй параметр не содержит корректного IP-адреса: "
      "Invalid argument\n";
  struct Case {
    std::string address, iface, out, err;
  } cases[] = {
      {good + "%eth0", "eth0", "ip address=" + good + "%eth0\n", not_an_address},
      {"192.168.1.10", "eth0", "ip address=192.168.1.10\n", not_an_address},
      // Unknown adapter: scope 0, which a link-local destination rejects.
      {good, "nosuch0", "", "error:connect: Invalid argument\n"},
      // Off the link: refused before any socket is made.
      {"2001:db8:77::5", "eth0", "",
       "error:connect: not a link-local address: 2001:db8:77::5\n"},
      {"fd00::1", "eth0", "", "error:connect: not a link-local address: fd00::1\n"},
      {"::1", "eth0", "", "error:connect: not a link-local address: ::1\n"},
      {"ff02::1", "eth0", "", "error:connect: not a link-local address: ff02::1\n"},
      {"fec0::1", "eth0", "", "error:connect: not a link-local address: fec0::1\n"},
      // What a caller passes is shown as text from outside is.
      {"\x1b[2J::1\xc2\xa0", "eth0", "ip address=?[2J::1?\n", not_an_address},
  };
  testutil::InNetns in(lab_->host_ns());
  for (const Case& c : cases) {
    const testutil::ChildResult r = testutil::run_child("", [&] {
      const int fds = open_fd_count();
      const int fd = connect_ipv6(c.address.c_str(), 0, c.iface.c_str(), 1100, 6);
      return std::to_string(fd) + (open_fd_count() == fds ? " same" : " leak");
    });
    EXPECT_EQ(r.result, "-1 same") << c.address;
    EXPECT_EQ(r.out, c.out) << c.address;
    EXPECT_EQ(r.err, c.err) << c.address;
  }
}

TEST(Sweep, AdapterNameNeverReachesTheShellUnquoted) {
  REQUIRE_NETNS();
  const testutil::TempDir markers;
  const std::string marker = markers / "injected";
  std::unordered_set<std::string> found;
  // ping6 rejects the odd name; the shell must not run the part after ;.
  testutil::Netns ns;
  testutil::InNetns in(ns.name());
  const testutil::ChildResult r = testutil::run_child("", [&] {
    ping6(0, "x;touch " + marker, found);
    return std::to_string(found.size());
  });
  EXPECT_EQ(r.result, "0");
  EXPECT_NE(access(marker.c_str(), F_OK), 0) << "the shell ran an injected command";
}

}  // namespace
