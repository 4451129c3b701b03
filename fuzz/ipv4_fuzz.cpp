// The dotted-quad conversion is total and deterministic, and agrees with
// the system's parser on every text that is a plain dotted quad.
#include <arpa/inet.h>

#include <cstdlib>
#include <string>

#include "contr_net_info.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const uint32_t value = parse_IPv4_string(text);
  if (parse_IPv4_string(text) != value)
    abort();
  in_addr addr;
  if (text.find('\0') == std::string::npos &&
      inet_pton(AF_INET, text.c_str(), &addr) == 1 &&
      ntohl(addr.s_addr) != value)
    abort();
  return 0;
}
