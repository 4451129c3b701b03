// The real binary in a private namespace, with scripted standard input, up
// to the chosen address; output compared byte for byte.

#include "test_util.h"

namespace {

const std::string kFrame = "==============================\n";

std::string menu(const std::string& title, const std::vector<std::string>& items) {
  std::string s = kFrame + title + ":\n" + kFrame;
  for (size_t i = 0; i < items.size(); ++i)
    s += std::to_string(i + 1) + ": " + items[i] + "\n";
  return s + "Введите число от 1 to " + std::to_string(items.size()) +
         ". q - выход: ";
}

std::string adapter_line(const std::string& name) {
  return "\nВыбранный сетевой адаптер компьютера: " + name + "\n\n";
}

std::string address_line(const std::string& ip, const std::string& mask) {
  return "\nIP адрес сетевого адаптера компьютера: " + ip + ", mask: " + mask +
         "\n\n";
}

// What a run prints after the address line when no controller answers and
// the operator refuses the page.
const std::string kEmptySummary =
    "\nОбнаруженные контроллеры:\n\n"
    "Адрес FBD программирования: <ip_адрес>/get_local_file/fbd.html\n"
    "Адрес для доступа к меню: <ip_адрес>/get_local_file/mal.html\n"
    "Адрес для диспетчеризации: <ip_адрес>\n\n"
    "Открыть ссылки в браузере chromium - введите 'y', иначе ENTER: ";

/// A namespace for the tool whose adapters are veths with their far ends in
/// a second namespace, so that each counts once.
class Host {
 public:
  Host() {
    // Addresses usable at once: no duplicate address detection here.
    for (const testutil::Netns* ns : {&tool_, &far_})
      testutil::sh("ip netns exec " + ns->name() +
                   " sysctl -qw net.ipv6.conf.default.accept_dad=0");
  }
  void adapter(const std::string& name, const std::vector<std::string>& ipv4) {
    std::string batch = "link add name " + name + " type veth peer name p" +
                        std::to_string(++count_) + " netns " + far_.name() +
                        "\nlink set " + name + " up\n";
    for (const std::string& a : ipv4)
      batch += "addr add " + a + " dev " + name + "\n";
    tool_.ip_batch(batch);
    // Without a carrier the adapter would get no link-local address.
    far_.ip_batch("link set p" + std::to_string(count_) + " up\n");
    // The carrier reaches IPv6 through the kernel's link watch, a deferred
    // work item that may run up to a second later, and only then is the
    // link-local address made: a tool started before would see no adapter
    // with IPv6 (seen under load, with many tests at a time).
    EXPECT_EQ(testutil::sh("for i in $(seq 100); do ip -n " + tool_.name() +
                           " -6 addr show dev " + name +
                           " scope link 2>/dev/null | grep -q inet6 && "
                           "exit 0; "
                           "sleep 0.05; done; exit 1"),
              0)
        << name << " got no link-local address";
  }
  testutil::ProcessResult run(const std::string& input) const {
    return testutil::run_process(
        "ip netns exec " + tool_.name() + " " + testutil::tool_path(), input);
  }

 private:
  testutil::Netns tool_, far_;
  int count_ = 0;
};

TEST(Dialogue, OneAdapterNeedsNoMenu) {
  REQUIRE_NETNS();
  Host host;
  host.adapter("eth0", {"192.168.1.20/24"});
  const testutil::ProcessResult r = host.run("");
  EXPECT_EQ(r.out, adapter_line("eth0") +
                       address_line("192.168.1.20", "255.255.255.0") +
                       kEmptySummary);
  EXPECT_EQ(r.status, 0);
}

TEST(Dialogue, TwoAdaptersInByteOrder) {
  REQUIRE_NETNS();
  Host host;
  host.adapter("eth0", {"192.168.1.20/24"});
  host.adapter("enp3s0", {"10.0.0.1/8"});
  const std::string m =
      menu("Выберете сетевой адаптер компьютера", {"enp3s0", "eth0"});

  testutil::ProcessResult r = host.run("2\n");
  EXPECT_EQ(r.out, m + adapter_line("eth0") +
                       address_line("192.168.1.20", "255.255.255.0") +
                       kEmptySummary);
  EXPECT_EQ(r.status, 0);

  r = host.run("q\n");
  EXPECT_EQ(r.out, m + "Выход\n");
  EXPECT_EQ(r.status, 0);

  r = host.run("3\n1\n");
  EXPECT_EQ(r.out, m + "Введено не допустимое значение.: 3\n" + m +
                       adapter_line("enp3s0") +
                       address_line("10.0.0.1", "255.0.0.0") + kEmptySummary);
  EXPECT_EQ(r.status, 0);

  r = host.run("");  // end of input counts as a quit
  EXPECT_EQ(r.out, m + "Выход\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Dialogue, ThreeAddresses) {
  REQUIRE_NETNS();
  Host host;
  host.adapter("eth0", {"192.168.1.20/24", "172.20.0.7/16", "10.1.2.3/8"});
  const std::string m =
      menu("Выберите адрес для интерфейса eth0",
           {"192.168.1.20", "172.20.0.7", "10.1.2.3"});

  testutil::ProcessResult r = host.run("2\n");
  EXPECT_EQ(r.out, adapter_line("eth0") + m +
                       address_line("172.20.0.7", "255.255.0.0") +
                       kEmptySummary);
  EXPECT_EQ(r.status, 0);

  r = host.run("q\n");
  EXPECT_EQ(r.out, adapter_line("eth0") + m + "Выход\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Dialogue, AdapterWithoutIPv4) {
  REQUIRE_NETNS();
  Host host;
  host.adapter("eth0", {});
  const testutil::ProcessResult r = host.run("");
  EXPECT_EQ(r.out, adapter_line("eth0") + "IP-адрес адаптера не найден.eth0\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(Dialogue, NoQualifyingAdapter) {
  REQUIRE_NETNS();
  testutil::Netns ns;
  const testutil::ProcessResult r = testutil::run_process(
      "ip netns exec " + ns.name() + " " + testutil::tool_path(),
      "1\n");
  EXPECT_EQ(r.out, "Не найдено ни одного сетевого адаптера с адресом IPv6.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
