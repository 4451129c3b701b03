#include "get_ip_mask_by_iface.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include "interfaces.h"

namespace {

bool to_dotted_quad(const sockaddr* sa, char (&buf)[INET6_ADDRSTRLEN]) {
  const auto* sin = reinterpret_cast<const sockaddr_in*>(sa);
  return inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf) != nullptr;
}

}  // namespace

bool get_arr_ip_mask_by_iface(int /*iface_index*/,
                              const std::string& iface_name, ips_masks& list) {
  const IfaddrsList ifaddrs_list = read_interface_list();
  if (!ifaddrs_list)
    return false;
  bool added = false;
  char buf[INET6_ADDRSTRLEN];
  for (const ifaddrs* ifa = ifaddrs_list.get(); ifa != nullptr;
       ifa = ifa->ifa_next) {
    if (ifa->ifa_flags & IFF_POINTOPOINT)
      continue;
    if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET)
      continue;
    if (!to_dotted_quad(ifa->ifa_addr, buf))
      continue;
    // The kernel lists an address labelled "eth0:1" under that label, so
    // the exact comparison leaves such aliases out.
    if (ifa->ifa_name == nullptr || iface_name != ifa->ifa_name)
      continue;
    if (ifa->ifa_netmask == nullptr || ifa->ifa_netmask->sa_family != AF_INET)
      continue;
    std::string ip = buf;
    if (!to_dotted_quad(ifa->ifa_netmask, buf))
      continue;
    list.push_back(ip_mask{std::move(ip), buf});
    added = true;
  }
  return added;
}

bool get_ip_mask_by_iface(const std::string& iface_name, std::string& ip,
                          std::string& mask) {
  ips_masks list;
  if (!get_arr_ip_mask_by_iface(0, iface_name, list))
    return false;
  ip = list.front().ip;
  mask = list.front().mask;
  return true;
}
