#ifndef CONTR_DISCOVERY_NET_H_
#define CONTR_DISCOVERY_NET_H_

#include <string>
#include <vector>

struct Header {
  std::string name;
  std::string value;
};

struct Request {
  std::string method;
  std::string uri;
  int version_major = 0;
  int version_minor = 0;
  std::vector<Header> headers;
};

/// The request as it goes on the wire: lines end in a bare LF and a header
/// has no blank after its colon.
std::string Request_to_string(const Request& request);

/// Opens a TCP connection to `[address%iface_name]:1100` and returns the
/// descriptor (owned by the caller), or -1 after a message on standard error.
/// Gives up after 2 seconds. Only a link-local address (fe80::/10) is
/// connected to. `iface_index`, `port` and `proto` are unused.
int connect_ipv6(const char* address, int iface_index, const char* iface_name,
                 unsigned short port, int proto);

/// Sends all of `text`; prints "crs_send failed" and stops on the first
/// failure. Never raises SIGPIPE.
void crs_send_string(int fd, const std::string& text);

/// One send call of `len` bytes; returns what send returned.
long crs_send(int fd, const void* data, unsigned long len, int unused);

/// Limits of one controller exchange.
inline constexpr int kConnectTimeoutMs = 2000;
inline constexpr int kExchangeTimeoutMs = 5000;
inline constexpr size_t kMaxReplyBytes = 1048576;
/// Splits a whole reply at its first CR LF CR LF: true and everything after
/// it in `body`, or false and `body` untouched.
bool split_reply(const std::string& reply, std::string& body);

/// How one query ended: answered, failed on its own (after its message), or
/// cut short by Ctrl-C (without one).
enum class QueryEnd { kAnswered, kFailed, kInterrupted };

/// request_contr_net_info, telling a failed query from an interrupted one.
QueryEnd query_contr_net_info(const char* address, const char* iface_name,
                              std::string& body);

/// Asks the controller at `address` for its network settings and returns the
/// reply body in `body` (untouched on false). Bounded in time and size.
bool request_contr_net_info(const char* address, int iface_index,
                            const char* iface_name, std::string& body);

#endif  // CONTR_DISCOVERY_NET_H_
