#ifndef CONTR_DISCOVERY_LINK_STATE_H_
#define CONTR_DISCOVERY_LINK_STATE_H_

#include <string>
#include <string_view>

/// What the kernel tells of an adapter's link, as far as a sweep needs it.
struct LinkState {
  bool up = false;       // switched on (IFF_UP)
  bool carrier = false;  // a cable with a live far end (IFF_LOWER_UP)
  /// It has a link-local address, and every one is still tentative:
  /// duplicate address detection has not ended, and no packet can be sent
  /// from it yet.
  bool tentative = false;
};

/// From the text of /proc/net/if_inet6: whether `iface` has link-local
/// addresses and all of them are tentative (an optimistic one counts as
/// usable, a duplicate one as tentative).
bool link_local_tentative(std::string_view if_inet6, std::string_view iface);

/// The state of adapter `iface` now.
LinkState read_link_state(const std::string& iface);

/// The longest wait for a usable address before a sweep.
inline constexpr int kLinkWaitMs = 3000;

/// Right after an adapter comes up, its link-local address is tentative
/// for a second or two, and a ping sent then finds nobody. Waits while
/// that is so, at most `timeout_ms`, and returns the state then.
LinkState wait_for_usable_link(const std::string& iface, int timeout_ms);

#endif  // CONTR_DISCOVERY_LINK_STATE_H_
