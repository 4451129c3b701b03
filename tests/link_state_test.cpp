#include "link_state.h"

#include <gtest/gtest.h>

namespace {

/// A line of /proc/net/if_inet6: address, index, prefix length, scope,
/// flags, name.
std::string address(const std::string& hex, const std::string& flags,
                    const std::string& name = "eth0") {
  return hex + " 00000002 40 20 " + flags + " " + std::string(8 - name.size(), ' ') + name + "\n";
}

const std::string kLinkLocal = "fe80000000000000000000fffe000001";
const std::string kOtherLinkLocal = "fe800000000000000000000000000077";

// Right after an adapter comes up its link-local address is tentative
// (flag 40) until duplicate address detection ends; only then may a ping
// go out from it. An optimistic address (04) may be used at once, a
// duplicate one (08) never.
TEST(LinkLocalTentative, ReadsTheKernelsAddressList) {
  struct Case {
    std::string what, list;
    bool tentative;
  } cases[] = {
      {"no address at all", "", false},
      {"a usable address", address(kLinkLocal, "80"), false},
      {"a tentative one", address(kLinkLocal, "c0"), true},
      {"tentative, loopback listed first",
       "00000000000000000000000000000001 01 80 10 80       lo\n" + address(kLinkLocal, "c0"),
       true},
      {"one tentative, one usable",
       address(kLinkLocal, "c0") + address(kOtherLinkLocal, "80"), false},
      {"optimistic", address(kLinkLocal, "c4"), false},
      {"a duplicate", address(kLinkLocal, "c8"), true},
      {"the top of fe80::/10", address("febf0000000000000000000000000001", "40"), true},
      {"site-local is no link-local", address("fec00000000000000000000000000001", "40"),
       false},
      {"a tentative global address only", address("20010db8000000000000000000000005", "40"),
       false},
      {"another adapter's", address(kLinkLocal, "c0", "eth1"), false},
      {"a name that only begins the same", address(kLinkLocal, "c0", "eth00"), false},
      {"a short line", "fe80000000000000000000fffe000001 02 40\n", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(link_local_tentative(c.list, "eth0"), c.tentative) << c.what;
}

}  // namespace
