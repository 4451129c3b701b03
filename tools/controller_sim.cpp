// A simulated controller for the lab: listens on TCP port 1100 on every IPv6
// address of its network namespace, reads the request and answers with a
// header block and the body given on the command line, in one of several
// well-behaved or hostile ways. One thread, one poll loop, any number of
// connections at once.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <list>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: controller_sim [--help] [--port N] [--mode MODE] [--body TEXT | "
    "--body-file PATH]\n"
    "                      [--status TEXT] [--size BYTES] [--drip-ms N]\n"
    "                      [--record] [--web NAME]\n"
    "--record: when a connection ends, write what it received to standard\n"
    "          output as LENGTH:BYTES and a line feed\n"
    "--web:    serve the controller's own pages on port 80 (IPv4 and IPv6):\n"
    "          /, /get_local_file/fbd.html and /get_local_file/mal.html,\n"
    "          each a short page naming NAME\n"
    "modes: normal    header block, body, close (default)\n"
    "       lf        as normal, but every line ends in LF only\n"
    "       raw       the body alone, no header block\n"
    "       silent    read the request, close without sending\n"
    "       hang      read the request, never answer, never close\n"
    "       keepopen  answer, then keep the connection open\n"
    "       drip      answer one byte every --drip-ms milliseconds\n"
    "       huge      header block, then --size bytes of filler\n"
    "       reset     reset the connection when the first bytes arrive\n"
    "       refuse    no listener: the kernel refuses connections\n"
    "       drop      listener whose queue is full: SYNs are dropped\n";

using Clock = std::chrono::steady_clock;

enum class Mode {
  kNormal, kLf, kRaw, kSilent, kHang, kKeepOpen, kDrip, kHuge, kReset,
  kRefuse, kDrop
};

/// The mode named on the command line; false for a name it does not know.
bool parse_mode(const std::string& name, Mode& mode) {
  static const struct {
    const char* name;
    Mode mode;
  } kModes[] = {{"normal", Mode::kNormal}, {"lf", Mode::kLf},
                {"raw", Mode::kRaw},       {"silent", Mode::kSilent},
                {"hang", Mode::kHang},     {"keepopen", Mode::kKeepOpen},
                {"drip", Mode::kDrip},     {"huge", Mode::kHuge},
                {"reset", Mode::kReset},   {"refuse", Mode::kRefuse},
                {"drop", Mode::kDrop}};
  for (const auto& m : kModes) {
    if (name == m.name) {
      mode = m.mode;
      return true;
    }
  }
  return false;
}

struct Options {
  int port = 1100;
  Mode mode = Mode::kNormal;
  std::string body;
  std::string status = "200 OK";
  long long size = 0;
  int drip_ms = 100;
  bool record = false;
  std::string web;  // the name on the pages served on port 80, if any
};

constexpr int kWebPort = 80;

struct Conn {
  int fd;
  bool web;                   // a browser's connection to port 80
  std::string request;
  bool replying = false;
  bool done = false;          // reply complete, connection kept open
  std::string out;            // bytes still to send
  long long filler_left = 0;  // huge mode: filler bytes still to send
  Clock::time_point next_drip;
};

[[noreturn]] void die(const char* what) {
  perror(what);
  exit(1);
}

Options parse_args(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        fputs(kUsage, stderr);
        exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (arg == "--port") {
      o.port = atoi(value().c_str());
    } else if (arg == "--mode") {
      if (!parse_mode(value(), o.mode)) {
        fputs(kUsage, stderr);
        exit(2);
      }
    } else if (arg == "--body") {
      o.body = value();
    } else if (arg == "--body-file") {
      std::ifstream in(value(), std::ios::binary);
      if (!in)
        die("controller_sim: --body-file");
      o.body.assign(std::istreambuf_iterator<char>(in), {});
    } else if (arg == "--status") {
      o.status = value();
    } else if (arg == "--size") {
      o.size = atoll(value().c_str());
    } else if (arg == "--drip-ms") {
      o.drip_ms = atoi(value().c_str());
    } else if (arg == "--record") {
      o.record = true;
    } else if (arg == "--web") {
      o.web = value();
    } else {
      fputs(kUsage, stderr);
      exit(2);
    }
  }
  return o;
}

std::string reply_text(const Options& o) {
  if (o.mode == Mode::kRaw)
    return o.body;
  const char* eol = o.mode == Mode::kLf ? "\n" : "\r\n";
  std::string text = "HTTP/1.1 " + o.status + eol;
  text += std::string("Content-Type: text/plain; charset=utf-8") + eol;
  text += std::string("Connection: close") + eol;
  text += eol;
  if (o.mode != Mode::kHuge)
    text += o.body;
  return text;
}

/// The page a browser gets for the request line in `request`: one of the
/// three a controller serves, each naming it, or 404.
std::string web_reply(const std::string& request, const std::string& name) {
  std::istringstream first_line(request);
  std::string method, path;
  first_line >> method >> path;
  struct Page {
    const char* path;
    const char* what;
  } pages[] = {{"/", "Диспетчеризация"},
               {"/get_local_file/fbd.html", "FBD программирование"},
               {"/get_local_file/mal.html", "Меню"}};
  std::string status = "404 Not Found", body = "<!DOCTYPE html>\n<title>404</title>\n";
  for (const Page& page : pages) {
    if (path == page.path) {
      status = "200 OK";
      body = std::string("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                         "<title>") + name + ": " + page.what +
             "</title></head>\n<body><h1>" + name + "</h1>\n<p>" + page.what +
             "</p></body></html>\n";
    }
  }
  return "HTTP/1.1 " + status +
         "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

int listen_on(int port, int backlog) {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd == -1)
    die("controller_sim: socket");
  const int on = 1, off = 0;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  // IPv4 too, as IPv4-mapped addresses: the pages are linked by the
  // controller's IPv4 address.
  setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  sockaddr_in6 addr{};
  addr.sin6_family = AF_INET6;
  addr.sin6_port = htons(static_cast<uint16_t>(port));
  addr.sin6_addr = in6addr_any;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == -1)
    die("controller_sim: bind");
  if (listen(fd, backlog) == -1)
    die("controller_sim: listen");
  return fd;
}

// With a backlog of 0 the kernel queues one finished connection; once that
// one sits unaccepted, every further SYN is dropped without an answer
// (tcp_abort_on_overflow is 0), which is what a node that swallows
// connection attempts looks like from outside.
[[noreturn]] void run_drop(int port) {
  const int listener = listen_on(port, 0);
  const int filler = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 addr{};
  addr.sin6_family = AF_INET6;
  addr.sin6_port = htons(static_cast<uint16_t>(port));
  addr.sin6_addr = in6addr_loopback;
  if (filler == -1 ||
      connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == -1)
    die("controller_sim: filling the accept queue");
  for (;;)
    pause();
  (void)listener;
}

void close_conn(Conn& c, bool reset) {
  if (reset) {
    const linger l{1, 0};
    setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  close(c.fd);
  c.fd = -1;
}

void start_reply(Conn& c, const Options& o) {
  c.replying = true;
  if (c.web) {
    c.out = web_reply(c.request, o.web);
    return;
  }
  if (o.mode == Mode::kSilent) {
    close_conn(c, false);
    return;
  }
  if (o.mode == Mode::kHang) {
    c.done = true;
    return;
  }
  c.out = reply_text(o);
  if (o.mode == Mode::kHuge)
    c.filler_left = o.size;
  c.next_drip = Clock::now();
}

/// Sends what it can; returns false when the connection is gone.
bool pump(Conn& c, const Options& o) {
  const Mode mode = c.web ? Mode::kNormal : o.mode;
  if (mode == Mode::kDrip) {
    if (c.out.empty() || Clock::now() < c.next_drip)
      return true;
    if (send(c.fd, c.out.data(), 1, MSG_NOSIGNAL) == 1) {
      c.out.erase(0, 1);
      c.next_drip = Clock::now() + std::chrono::milliseconds(o.drip_ms);
    } else if (errno != EAGAIN) {
      return false;
    }
  } else {
    static const std::string filler = [] {
      std::string s;
      while (s.size() < 65536)
        s += "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstu\n";
      return s;
    }();
    for (;;) {
      if (c.out.empty() && c.filler_left > 0) {
        const long long n = std::min<long long>(c.filler_left, 65536);
        c.out.assign(filler, 0, static_cast<size_t>(n));
        c.filler_left -= n;
      }
      if (c.out.empty())
        break;
      const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n == -1)
        return errno == EAGAIN;
      c.out.erase(0, static_cast<size_t>(n));
    }
  }
  if (c.out.empty() && c.filler_left == 0 && !c.done) {
    if (mode == Mode::kKeepOpen) {
      c.done = true;
    } else {
      shutdown(c.fd, SHUT_WR);
      c.done = true;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse_args(argc, argv);
  signal(SIGPIPE, SIG_IGN);
  if (o.mode == Mode::kRefuse) {
    for (;;)
      pause();
  }
  if (o.mode == Mode::kDrop)
    run_drop(o.port);

  const int listener = listen_on(o.port, 1024);
  const int web = o.web.empty() ? -1 : listen_on(kWebPort, 64);
  std::list<Conn> conns;
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back({listener, POLLIN, 0});
    fds.push_back({web, POLLIN, 0});  // poll skips a negative descriptor
    int timeout = -1;
    for (Conn& c : conns) {
      const bool drip = o.mode == Mode::kDrip && !c.web;
      short events = POLLIN;
      if (c.replying && !c.out.empty() && !drip)
        events |= POLLOUT;
      if (drip && c.replying && !c.out.empty()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                              c.next_drip - Clock::now())
                              .count();
        const int w = wait < 0 ? 0 : static_cast<int>(wait);
        timeout = timeout == -1 ? w : std::min(timeout, w);
      }
      fds.push_back({c.fd, events, 0});
    }
    if (poll(fds.data(), fds.size(), timeout) == -1 && errno != EINTR)
      die("controller_sim: poll");

    for (int k = 0; k < 2; ++k) {
      if (!(fds[k].revents & POLLIN))
        continue;
      for (;;) {
        const int fd = accept4(fds[k].fd, nullptr, nullptr,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd == -1)
          break;
        conns.push_back(Conn{fd, k == 1, {}, false, false, {}, 0, {}});
      }
    }
    size_t i = 2;
    for (Conn& c : conns) {
      if (c.fd == -1)
        continue;
      const short revents = i < fds.size() && fds[i].fd == c.fd ? fds[i].revents : 0;
      if (i < fds.size() && fds[i].fd == c.fd)
        ++i;
      if (revents & (POLLIN | POLLHUP | POLLERR)) {
        char buf[4096];
        const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n == 0 || (n == -1 && errno != EAGAIN)) {
          if (o.record && !c.web) {
            printf("%zu:", c.request.size());
            fwrite(c.request.data(), 1, c.request.size(), stdout);
            printf("\n");
            fflush(stdout);
          }
          close_conn(c, false);  // the client went away
          continue;
        }
        if (n > 0 && o.mode == Mode::kReset && !c.web) {
          close_conn(c, true);  // the first bytes in are answered by RST
          continue;
        }
        if (n > 0 && c.replying && c.request.size() < 65536)
          c.request.append(buf, static_cast<size_t>(n));  // kept for --record
        if (n > 0 && !c.replying) {
          c.request.append(buf, static_cast<size_t>(n));
          // Our client ends its request with LF LF, an ordinary HTTP
          // client (curl, a browser) with CR LF CR LF.
          if (c.request.find("\n\n") != std::string::npos ||
              c.request.find("\r\n\r\n") != std::string::npos ||
              c.request.size() > 65536)
            start_reply(c, o);
        }
      }
      if (c.fd != -1 && c.replying && !pump(c, o))
        close_conn(c, false);
    }
    conns.remove_if([](const Conn& c) { return c.fd == -1; });
  }
}
