#include "interfaces.h"

#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "console.h"

IfaddrsList read_interface_list() {
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) == -1) {
    const int err = errno;
    print_format("getifaddrs() failed with errno =  %d %s \n", err,
                 strerror(err));
    return nullptr;
  }
  return IfaddrsList(raw);
}

bool get_all_interfaces_ipv6(std::map<std::string, int>& ifaces) {
  const IfaddrsList list = read_interface_list();
  if (!list)
    return false;
  for (const ifaddrs* ifa = list.get(); ifa != nullptr; ifa = ifa->ifa_next) {
    if (ifa->ifa_flags & IFF_POINTOPOINT)
      continue;
    if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET6)
      continue;
    if (ifa->ifa_name == nullptr || strcmp(ifa->ifa_name, "lo") == 0)
      continue;
    // A further address of the same adapter repeats the lookup; a failed
    // lookup (the adapter vanished meanwhile) stores 0.
    ifaces[ifa->ifa_name] = static_cast<int>(if_nametoindex(ifa->ifa_name));
  }
  return true;
}
