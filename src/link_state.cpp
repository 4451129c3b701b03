#include "link_state.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "unique_fd.h"

namespace {

// IFF_LOWER_UP of <linux/if.h>, which cannot be included beside <net/if.h>:
// the driver reports a carrier. getifaddrs hands on the kernel's flags
// whole.
constexpr unsigned kLowerUp = 0x10000;

// include/uapi/linux/if_addr.h: the flags column of /proc/net/if_inet6.
constexpr unsigned kOptimistic = 0x04;
constexpr unsigned kTentative = 0x40;

/// The hexadecimal address column of /proc/net/if_inet6 starts fe8 to feb:
/// fe80::/10.
bool link_local_hex(std::string_view hex) {
  return hex.size() == 32 && hex.substr(0, 2) == "fe" &&
         std::string_view("89ab").find(hex[2]) != std::string_view::npos;
}

struct IfaddrsDeleter {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

bool link_local_tentative(std::string_view if_inet6, std::string_view iface) {
  // One address a line: address, index, prefix length, scope and flags in
  // hexadecimal, then the adapter's name. (No streams: see below.)
  bool any = false;
  while (!if_inet6.empty()) {
    const size_t end = std::min(if_inet6.find('\n'), if_inet6.size());
    std::string_view line = if_inet6.substr(0, end);
    if_inet6.remove_prefix(std::min(end + 1, if_inet6.size()));
    std::string_view word[6];
    for (std::string_view& w : word) {
      line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
      w = line.substr(0, line.find(' '));
      line.remove_prefix(w.size());
    }
    if (word[5] != iface || !link_local_hex(word[0]))
      continue;
    const unsigned bits =
        static_cast<unsigned>(std::strtoul(std::string(word[4]).c_str(), nullptr, 16));
    if (!(bits & kTentative) || (bits & kOptimistic))
      return false;
    any = true;
  }
  return any;
}

LinkState read_link_state(const std::string& iface) {
  LinkState state;
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) == 0) {
    const std::unique_ptr<ifaddrs, IfaddrsDeleter> list(raw);
    for (const ifaddrs* ifa = raw; ifa != nullptr; ifa = ifa->ifa_next) {
      if (ifa->ifa_name == nullptr || iface != ifa->ifa_name)
        continue;
      // Every entry of an adapter carries the adapter's flags.
      state.up = (ifa->ifa_flags & IFF_UP) != 0;
      state.carrier = (ifa->ifa_flags & kLowerUp) != 0;
      break;
    }
  }
  // Per network namespace, like the adapters themselves. Read with plain
  // read(2): a run started with almost no descriptors left must get here
  // as it gets anywhere, and UBSan cannot check a stream's type then.
  std::string list;
  const unique_fd fd(open("/proc/net/if_inet6", O_RDONLY | O_CLOEXEC));
  char buffer[4096];
  for (ssize_t n; fd.get() != -1 && (n = read(fd.get(), buffer, sizeof buffer)) > 0;)
    list.append(buffer, static_cast<size_t>(n));
  state.tentative = link_local_tentative(list, iface);
  return state;
}

LinkState wait_for_usable_link(const std::string& iface, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const LinkState state = read_link_state(iface);
    // Without a carrier duplicate address detection does not even start.
    if (!state.carrier || !state.tentative || Clock::now() >= deadline)
      return state;
    // The kernel tells the end of the detection on a netlink socket only;
    // a look every 50 ms is as good for a wait of a second or two.
    poll(nullptr, 0, 50);
  }
}
