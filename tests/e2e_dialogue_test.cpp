// The real binary in a private namespace, with scripted standard input, up
// to the chosen address; output compared byte for byte.

#include <chrono>
#include <thread>

#include "lab_segment.h"

namespace {

using testutil::address_line;
using testutil::adapter_line;

/// A namespace for the tool whose adapters, named with their IPv4
/// addresses, are veths with their far ends in a second namespace, so that
/// each counts once.
class Host {
 public:
  explicit Host(const std::vector<std::pair<std::string, std::vector<std::string>>>& adapters) {
    // Addresses usable at once: no duplicate address detection here.
    for (const testutil::Netns* ns : {&tool_, &far_})
      testutil::must({"sysctl", "-qw", "net.ipv6.conf.default.accept_dad=0"}, ns->name());
    int count = 0;
    for (const auto& [name, ipv4] : adapters) {
      const std::string peer = "p" + std::to_string(++count);
      std::string batch = "link add name " + name + " type veth peer name " + peer +
                          " netns " + far_.name() + "\nlink set " + name + " up\n";
      for (const std::string& a : ipv4)
        batch += "addr add " + a + " dev " + name + "\n";
      tool_.ip_batch(batch);
      // Without a carrier the adapter would get no link-local address.
      far_.ip_batch("link set " + peer + " up\n");
      // The carrier reaches IPv6 through the kernel's link watch, a
      // deferred work item that may run up to a second later, and only
      // then is the link-local address made: a tool started before would
      // see no adapter with IPv6 (seen under load).
      bool seen = false;
      for (int i = 0; i < 100 && !seen; ++i) {
        seen = testutil::output({"ip", "-n", tool_.name(), "-6", "addr", "show", "dev",
                                 name, "scope", "link"}).find("inet6") != std::string::npos;
        if (!seen)
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      EXPECT_TRUE(seen) << name << " got no link-local address";
    }
  }
  testutil::Outcome run(const std::string& input) const {
    return testutil::run({.argv = {testutil::tool_path()}, .netns = tool_.name(), .input = input});
  }

 private:
  testutil::Netns tool_, far_;
};

// The dialogue up to the chosen address: a menu only where there is a
// choice, adapters in byte order, numbers out of range refused, q and the
// end of input quitting, an adapter without IPv4 and none with IPv6.
TEST(Dialogue, MenusWhereThereIsAChoice) {
  REQUIRE_NETNS();
  const std::string adapters =
      testutil::menu_text("Выберете сетевой адаптер компьютера", {"enp3s0", "eth0"});
  const std::string addresses = testutil::menu_text("Выберите адрес для интерфейса eth0",
                                                    {"192.168.1.20", "172.20.0.7", "10.1.2.3"});
  const std::string eth0 = adapter_line("eth0"), quit = "Выход\n";
  // No controller answers, and the operator refuses the page.
  const std::string empty = testutil::kHeading + testutil::kTail;
  const std::string at20 = address_line("192.168.1.20", "255.255.255.0");
  // The computer itself and the far end answer the ping.
  const std::string refused = testutil::repeated("error:connect: Connection refused\n", 2);
  const std::vector<std::pair<std::string, std::vector<std::string>>> one = {
      {"eth0", {"192.168.1.20/24"}}},
      two = {{"eth0", {"192.168.1.20/24"}}, {"enp3s0", {"10.0.0.1/8"}}},
      three = {{"eth0", {"192.168.1.20/24", "172.20.0.7/16", "10.1.2.3/8"}}};
  struct Case {
    std::vector<std::pair<std::string, std::vector<std::string>>> adapters;
    std::string input, shown, said;
  } cases[] = {
      {one, "", eth0 + at20 + empty, refused},
      {two, "2\n", adapters + eth0 + at20 + empty, refused},
      {two, "q\n", adapters + quit, ""},
      {two, "3\n1\n",
       adapters + testutil::kBadEntry + ": 3\n" + adapters + adapter_line("enp3s0") +
           address_line("10.0.0.1", "255.0.0.0") + empty,
       refused},
      {two, "", adapters + quit, ""},  // the end of input quits
      {three, "2\n", eth0 + addresses + address_line("172.20.0.7", "255.255.0.0") + empty,
       refused},
      {three, "q\n", eth0 + addresses + quit, ""},
      {{{"eth0", {}}}, "", eth0 + "IP-адрес адаптера не найден.eth0\n", ""},
      {{}, "1\n", "Не найдено ни одного сетевого адаптера с адресом IPv6.\n", ""},
  };
  for (const Case& c : cases) {
    const testutil::Outcome r = Host(c.adapters).run(c.input);
    EXPECT_EQ(r.out, c.shown) << r.command << " <<< " << c.input;
    EXPECT_EQ(testutil::without_ping_warning(r.err), c.said) << c.input;
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
