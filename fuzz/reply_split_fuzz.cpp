// The reply split finds the first CR LF CR LF and returns exactly what
// follows it.
#include <cstdlib>
#include <string>

#include "net.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  std::string body = "untouched";
  const bool found = split_reply(reply, body);
  const size_t end = reply.find("\r\n\r\n");
  if (found != (end != std::string::npos))
    abort();
  if (found && body != reply.substr(end + 4))
    abort();
  if (!found && body != "untouched")
    abort();
  return 0;
}
