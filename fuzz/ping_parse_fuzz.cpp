// The ping output parse never crashes, lets only zone-less link-local
// address texts into the neighbour set and no more than its cap, and finds
// the same in the output however it is cut into pieces.
#include <arpa/inet.h>

#include <cstdlib>
#include <string>
#include <unordered_set>

#include "ping6.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string output(reinterpret_cast<const char*>(data), size);
  std::unordered_set<std::string> found;
  parse_ping_output(output, found);
  if (found.size() > kMaxNeighbours)
    abort();
  for (const std::string& address : found) {
    in6_addr parsed;
    if (address.find('%') != std::string::npos ||
        address.find('\0') != std::string::npos ||
        inet_pton(AF_INET6, address.c_str(), &parsed) != 1 ||
        !IN6_IS_ADDR_LINKLOCAL(&parsed))
      abort();
  }
  std::unordered_set<std::string> in_pieces;
  PingOutputParser parser(in_pieces);
  const size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  parser.feed(std::string_view(output).substr(0, cut));
  parser.feed(std::string_view(output).substr(cut));
  parser.finish();
  if (in_pieces != found)
    abort();
  return 0;
}
