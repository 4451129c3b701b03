#ifndef CONTR_DISCOVERY_GET_IP_MASK_BY_IFACE_H_
#define CONTR_DISCOVERY_GET_IP_MASK_BY_IFACE_H_

#include <string>
#include <vector>

/// An IPv4 address and its netmask as dotted quads.
struct ip_mask {
  std::string ip;
  std::string mask;
};

using ips_masks = std::vector<ip_mask>;

/// Appends the IPv4 addresses of the adapter named `iface_name` (exact name,
/// aliases such as "eth0:1" excluded) to `list`, in interface-list order.
/// True when this call appended at least one. `iface_index` is unused.
bool get_arr_ip_mask_by_iface(int iface_index, const std::string& iface_name,
                              ips_masks& list);

/// The first IPv4 address and mask of `iface_name`; outputs untouched on
/// false.
bool get_ip_mask_by_iface(const std::string& iface_name, std::string& ip,
                          std::string& mask);

#endif  // CONTR_DISCOVERY_GET_IP_MASK_BY_IFACE_H_
