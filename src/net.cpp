#include "net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "console.h"
#include "device_text.h"
#include "interrupt.h"
#include "text_hook.h"
#include "unique_fd.h"

namespace {

constexpr unsigned short kControllerPort = 1100;
constexpr size_t kRecvBufferBytes = 16384;

bool make_blocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1;
}

/// Waits for the non-blocking connect on `fd` to finish within `timeout_ms`.
/// On failure errno holds the reason (ETIMEDOUT when the time ran out,
/// EINTR when Ctrl-C ended the sweep).
bool finish_connect(int fd, int timeout_ms) {
  pollfd p{fd, POLLOUT, 0};
  const int n = poll_unless_interrupted(&p, 1, timeout_ms);
  if (n == 0) {
    // A node that drops our SYNs would keep the kernel retrying for about
    // two minutes; report it the way the kernel would at its own end.
    errno = ETIMEDOUT;
    return false;
  }
  if (n == -1)
    return false;
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == -1)
    return false;
  if (err != 0) {
    errno = err;
    return false;
  }
  return true;
}

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

enum class RecvResult { kClosed, kFailed, kTimeout, kTooLarge, kInterrupted };

/// Gathers everything the peer sends until it closes, within `deadline` and
/// `kMaxReplyBytes`.
RecvResult receive_all(int fd, Clock::time_point deadline, std::string& reply) {
  char buffer[kRecvBufferBytes];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int n = poll_unless_interrupted(&p, 1, remaining_ms(deadline));
    if (n == -1)
      return errno == EINTR ? RecvResult::kInterrupted : RecvResult::kFailed;
    if (n == 0)
      return RecvResult::kTimeout;
    // MSG_DONTWAIT: a spurious wake-up must not turn into a blocking read.
    const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == -1) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
        continue;
      return RecvResult::kFailed;
    }
    if (got == 0)
      return RecvResult::kClosed;
    if (reply.size() + static_cast<size_t>(got) > kMaxReplyBytes)
      return RecvResult::kTooLarge;
    reply.append(buffer, static_cast<size_t>(got));
  }
}

/// Opens the connection of connect_ipv6; `interrupted` tells a connect that
/// Ctrl-C cut short (-1 without a message) from one that failed.
int connect_link_local(const char* address, const char* iface_name,
                       bool& interrupted) {
  sockaddr_in6 dest;
  memset(&dest, 0, sizeof dest);
  dest.sin6_family = AF_INET6;
  dest.sin6_port = htons(kControllerPort);
  // A link-local address means nothing without the adapter it lives on;
  // an unknown name gives 0, and connect then fails with EINVAL.
  dest.sin6_scope_id = if_nametoindex(iface_name);

  const int parsed = inet_pton(AF_INET6, address, &dest.sin6_addr);
  if (parsed < 0) {
    print_errno(Z("web_connect_not_wait:Ошибка: первый параметр не "
                  "относится к категории корректных адресов"));
    return -1;
  }
  if (parsed == 0) {
    // The sweep hands over only addresses it has checked, but this is what
    // a caller passed: shown like any text from outside.
    print_format("ip address=%s\n", terminal_safe(address).c_str());
    // inet_pton leaves errno alone here; without this the message would end in
    // the text of whatever failed last, somewhere else.
    errno = EINVAL;
    print_errno(Z("web_connect_not_wait:Ошибка: второй параметр не "
                  "содержит корректного IP-адреса"));
    return -1;
  }

  // Only the link is asked. A device can forge echo replies from any
  // address, and ping6 prints those without a zone: connecting to one
  // would go out through another adapter (an office network, a VPN) from
  // another of this computer's addresses, to a host the device chose.
  if (!IN6_IS_ADDR_LINKLOCAL(&dest.sin6_addr)) {
    print_error("error:connect: not a link-local address: " +
                terminal_safe(address) + "\n");
    return -1;
  }

  // Non-blocking only while connecting, so that the attempt can be bounded;
  // CLOEXEC keeps it out of the chromium child.
  unique_fd fd(socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      IPPROTO_TCP));
  if (fd.get() == -1) {
    print_errno(Z("dc_connect:невозможно создать сокет connect"));
    return -1;
  }

  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&dest),
              sizeof dest) == -1) {
    if (errno != EINPROGRESS || !finish_connect(fd.get(), kConnectTimeoutMs)) {
      // Abandoned at Ctrl-C: the operator asked for it, no message.
      interrupted = errno == EINTR && sweep_interrupted();
      if (!interrupted)
        print_errno("error:connect");
      return -1;
    }
  }
  // Callers get the system's default blocking mode back.
  if (!make_blocking(fd.get())) {
    print_errno("error:connect");
    return -1;
  }
  return fd.release();
}

}  // namespace

std::string Request_to_string(const Request& request) {
  std::string text = request.method;
  text += ' ';
  text += request.uri;
  text += " HTTP/";
  text += std::to_string(request.version_major);
  text += '.';
  text += std::to_string(request.version_minor);
  text += '\n';
  for (const Header& header : request.headers) {
    text += header.name;
    text += ':';
    text += header.value;
    text += '\n';
  }
  text += '\n';
  return text;
}

int connect_ipv6(const char* address, int /*iface_index*/,
                 const char* iface_name, unsigned short /*port*/,
                 int /*proto*/) {
  bool interrupted = false;
  return connect_link_local(address, iface_name, interrupted);
}

void crs_send_string(int fd, const std::string& text) {
  size_t sent = 0;
  do {
    const ssize_t n =
        send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n == -1) {
      print("crs_send failed");
      return;
    }
    sent += static_cast<size_t>(n);
  } while (sent != text.size());
}

long crs_send(int fd, const void* data, unsigned long len, int /*unused*/) {
  const ssize_t n = send(fd, data, len, MSG_NOSIGNAL);
  if (n == -1)
    print("crs_send failed");
  return n;
}

bool split_reply(const std::string& reply, std::string& body) {
  const size_t end = reply.find("\r\n\r\n");
  if (end == std::string::npos)
    return false;
  body.assign(reply, end + 4, std::string::npos);
  return true;
}

QueryEnd query_contr_net_info(const char* address, const char* iface_name,
                              std::string& body) {
  bool interrupted = false;
  unique_fd fd(connect_link_local(address, iface_name, interrupted));
  if (fd.get() == -1)
    return interrupted ? QueryEnd::kInterrupted : QueryEnd::kFailed;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(kExchangeTimeoutMs);

  Request request;
  request.method = "GET";
  request.uri = "/get_contr_net_info";
  request.version_major = 1;
  request.version_minor = 1;
  request.headers.push_back(Header{"Connection", "close"});
  // The 51-byte request fits into a fresh socket's send buffer, so this
  // blocking send returns at once whatever the peer does.
  crs_send_string(fd.get(), Request_to_string(request));

  std::string reply;
  switch (receive_all(fd.get(), deadline, reply)) {
    case RecvResult::kFailed:
      print("error:recv failed");
      return QueryEnd::kFailed;
    case RecvResult::kTimeout:
      print("error:recv timeout");
      return QueryEnd::kFailed;
    case RecvResult::kTooLarge:
      print("error:reply too large");
      return QueryEnd::kFailed;
    case RecvResult::kInterrupted:
      return QueryEnd::kInterrupted;  // without a message
    case RecvResult::kClosed:
      break;
  }
  fd.reset();

  if (split_reply(reply, body))
    return QueryEnd::kAnswered;
  // Whatever the device sent goes to the operator's terminal as quoted
  // text only, and only its head: a megabyte of line feeds would scroll
  // the message away, and unquoted lines could pass for the summary.
  show_headerless_reply(reply);
  return QueryEnd::kFailed;
}

bool request_contr_net_info(const char* address, int /*iface_index*/,
                            const char* iface_name, std::string& body) {
  return query_contr_net_info(address, iface_name, body) ==
         QueryEnd::kAnswered;
}
