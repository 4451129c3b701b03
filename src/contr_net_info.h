#ifndef CONTR_DISCOVERY_CONTR_NET_INFO_H_
#define CONTR_DISCOVERY_CONTR_NET_INFO_H_

#include <cstddef>
#include <cstdint>
#include <string>

/// The most bytes `read` keeps of any one field of a reply body.
inline constexpr size_t kMaxFieldBytes = 1024;

/// What one controller reported, beside this computer's address and mask.
struct contr_net_info {
  std::string ip_contr;
  std::string mask_contr;
  bool not_configured = false;
  std::string contr_name;
  std::string ip_configured;
  std::string aux;
  std::string systems;
  bool available = false;
  std::string ip_pc;
  std::string mask_pc;

  /// Reads the whitespace-separated fields of a reply body as formatted
  /// stream input would; fields it does not get to keep their values. Each
  /// field keeps at most its first kMaxFieldBytes bytes, cut before a split
  /// UTF-8 sequence.
  void read(const std::string& body);

  /// True when controller and computer share a subnet under both masks;
  /// otherwise false with the failed comparison in `reason`.
  bool check_ips_masks(std::string& reason) const;

  /// Replaces `line` with the status line and sets `available`. The
  /// controller's texts in it are made safe for the terminal, and of its
  /// address at most the first 15 characters are shown, then "...".
  void get_print(std::string& line);
};

/// A dotted quad as a host-order number; numbers the text lacks count as 0.
uint32_t parse_IPv4_string(const std::string& text);

#endif  // CONTR_DISCOVERY_CONTR_NET_INFO_H_
