#include "interfaces.h"

#include <net/if.h>

#include "get_ip_mask_by_iface.h"
#include "lab.h"

namespace {

/// One namespace holding every kind of interface the enumeration must tell
/// apart.
class Interfaces : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testutil::netns_unavailable().empty())
      return;
    ns_ = new testutil::Netns;
    testutil::must({"sysctl", "-qw", "net.ipv6.conf.default.accept_dad=0"}, ns_->name());
    ns_->ip_batch(
        "link add name eth0 type veth peer name enp3s0\n"
        "link add name lo2 type veth peer name v6only\n"
        "link add name downif type veth peer name v4only\n"
        "tuntap add mode tun name tun0\n"
        "link set eth0 up\n"
        "link set enp3s0 up\n"
        "link set lo2 up\n"
        "link set v6only up\n"
        "link set tun0 up\n"
        "addr add 192.168.1.20/24 dev eth0\n"
        "addr add 10.1.1.1/8 dev eth0 label eth0:1\n"
        "addr add 172.20.0.7/16 dev eth0\n"
        "addr add 2001:db8::20/64 dev eth0\n"
        "addr add 172.16.0.1/12 dev enp3s0\n"
        "addr add 192.168.77.1/24 dev lo2\n"
        "addr add 2001:db8::5/64 dev downif\n"
        "addr add 10.9.9.9/24 dev tun0\n"
        "addr add 2001:db8:2::1/64 dev tun0\n"
        "addr add 192.168.5.5/24 dev v4only\n");
    testutil::must({"sysctl", "-qw", "net.ipv6.conf.v4only.disable_ipv6=1"}, ns_->name());
    ns_->ip_batch("link set v4only up\n");
  }
  static void TearDownTestSuite() { delete ns_; }
  static inline testutil::Netns* ns_ = nullptr;
};

TEST_F(Interfaces, QualifyingAdaptersInByteOrderWithTheirIndexes) {
  REQUIRE_NETNS();
  testutil::InNetns in(ns_->name());
  std::map<std::string, int> ifaces{{"aaa-kept", 42}};
  ASSERT_TRUE(get_all_interfaces_ipv6(ifaces));

  std::vector<std::string> names;
  for (const auto& [name, index] : ifaces)
    names.push_back(name);
  // Down but holding IPv6: in. lo: out, lo2: in. tun0 (point-to-point) and
  // v4only (no IPv6): out. The caller's entry stays.
  EXPECT_EQ(names, (std::vector<std::string>{"aaa-kept", "downif", "enp3s0",
                                             "eth0", "lo2", "v6only"}));
  EXPECT_EQ(ifaces["aaa-kept"], 42);
  for (const std::string& name : names) {
    if (name != "aaa-kept") {
      EXPECT_EQ(ifaces[name], static_cast<int>(if_nametoindex(name.c_str()))) << name;
      EXPECT_NE(ifaces[name], 0) << name;
    }
  }
}

TEST_F(Interfaces, IPv4AddressesOfOneAdapter) {
  REQUIRE_NETNS();
  testutil::InNetns in(ns_->name());
  struct Case {
    std::string name;
    bool found;
    std::vector<std::string> addresses;  // "ip/mask"
  } cases[] = {
      // The alias labelled eth0:1 is not eth0's.
      {"eth0", true, {"192.168.1.20/255.255.255.0", "172.20.0.7/255.255.0.0"}},
      {"enp3s0", true, {"172.16.0.1/255.240.0.0"}},
      {"lo2", true, {"192.168.77.1/255.255.255.0"}},
      {"eth0:1", true, {"10.1.1.1/255.0.0.0"}},
      {"v6only", false, {}},
      {"downif", false, {}},
      {"tun0", false, {}},  // point-to-point, even with a matching name
      {"eth", false, {}},
      {"nosuch", false, {}},
  };
  for (const Case& c : cases) {
    for (int index : {0, 1, 999}) {  // the index plays no part
      ips_masks list{{"1.1.1.1", "255.0.0.0"}};
      EXPECT_EQ(get_arr_ip_mask_by_iface(index, c.name, list), c.found) << c.name;
      std::vector<std::string> got;
      for (size_t i = 1; i < list.size(); ++i)
        got.push_back(list[i].ip + "/" + list[i].mask);
      EXPECT_EQ(got, c.addresses) << c.name;
      EXPECT_EQ(list[0].ip, "1.1.1.1");  // what the caller had stays first
    }
    // The single form: the first, or nothing touched.
    std::string ip = "old", mask = "old";
    EXPECT_EQ(get_ip_mask_by_iface(c.name, ip, mask), c.found) << c.name;
    EXPECT_EQ(ip + "/" + mask, c.found ? c.addresses[0] : "old/old") << c.name;
  }
}

TEST(InterfacesEmpty, NoQualifyingAdapterGivesAnEmptyMap) {
  REQUIRE_NETNS();
  testutil::Netns ns;  // only lo, which holds ::1 once up
  testutil::InNetns in(ns.name());
  std::map<std::string, int> ifaces;
  EXPECT_TRUE(get_all_interfaces_ipv6(ifaces));
  EXPECT_TRUE(ifaces.empty());
}

}  // namespace
