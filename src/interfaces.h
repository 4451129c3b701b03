#ifndef CONTR_DISCOVERY_INTERFACES_H_
#define CONTR_DISCOVERY_INTERFACES_H_

#include <ifaddrs.h>

#include <map>
#include <memory>
#include <string>

struct IfaddrsDeleter {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};
using IfaddrsList = std::unique_ptr<ifaddrs, IfaddrsDeleter>;

/// The system's interface list, or empty after the one failure message on
/// standard output.
IfaddrsList read_interface_list();

/// Adds every adapter that holds an IPv6 address, is not point-to-point and
/// is not "lo" to `ifaces` (name to interface index). False, after a message
/// on standard output, only when the interface list cannot be read.
bool get_all_interfaces_ipv6(std::map<std::string, int>& ifaces);

#endif  // CONTR_DISCOVERY_INTERFACES_H_
