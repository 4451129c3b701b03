// The ping output parse never crashes and lets only zone-less IPv6 address
// texts into the neighbour set.
#include <arpa/inet.h>

#include <cstdlib>
#include <string>
#include <unordered_set>

#include "ping6.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string output(reinterpret_cast<const char*>(data), size);
  std::unordered_set<std::string> found;
  parse_ping_output(output, found);
  for (const std::string& address : found) {
    in6_addr parsed;
    if (address.find('%') != std::string::npos ||
        address.find('\0') != std::string::npos ||
        inet_pton(AF_INET6, address.c_str(), &parsed) != 1)
      abort();
  }
  return 0;
}
