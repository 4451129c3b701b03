#include "ping6.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "console.h"
#include "interrupt.h"

namespace {

// The pipe is read this many bytes at a time; longer lines come in pieces
// that are joined again.
constexpr int kExecReadBytes = 128;

// ping6 prints lines of about 80 bytes; one far longer is none of its
// answers, and keeping it would let the output grow the line without end.
constexpr size_t kMaxPingLineBytes = 512;

struct PcloseDeleter {
  void operator()(FILE* f) const { pclose(f); }
};
using Pipe = std::unique_ptr<FILE, PcloseDeleter>;

/// fe80::/10: the answers to a link-local multicast ping come from there.
/// Anything else in ping6's output is a forged reply, an error report or an
/// odd line, and must not become an address that is connected to.
bool is_link_local_text(const std::string& text) {
  in6_addr addr;
  return text.find('\0') == std::string::npos &&
         inet_pton(AF_INET6, text.c_str(), &addr) == 1 &&
         IN6_IS_ADDR_LINKLOCAL(&addr);
}

}  // namespace

void exec_each(const char* cmd,
               const std::function<void(std::string_view)>& take,
               int* status, int* start_error) {
  // The deleter runs pclose also when `take` throws, so the child is
  // always reaped.
  Pipe pipe(popen(cmd, "r"));
  if (!pipe) {
    if (start_error != nullptr)
      *start_error = errno;
    throw std::runtime_error("popen() failed!");
  }
  // read(2) rather than fgets: at Ctrl-C the read returns EINTR, and fgets
  // would drop the part of a line it had already taken from the stream's
  // buffer. The read is resumed: ping6, which got the same Ctrl-C, still
  // prints what it has and ends.
  char buffer[kExecReadBytes];
  for (;;) {
    const ssize_t n = read(fileno(pipe.get()), buffer, sizeof buffer);
    if (n > 0)
      take(std::string_view(buffer, static_cast<size_t>(n)));
    else if (n == 0 || errno != EINTR)
      break;
  }
  const int raw = pclose(pipe.release());
  if (status != nullptr)
    *status = raw;
}

std::string exec(const char* cmd, int* status, int* start_error) {
  std::string result;
  exec_each(
      cmd, [&result](std::string_view piece) { result += piece; }, status,
      start_error);
  return result;
}

std::string shell_quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

void PingOutputParser::feed(std::string_view output) {
  while (!output.empty() && !ended_) {
    const size_t lf = output.find('\n');
    const std::string_view piece = output.substr(0, lf);
    if (!overlong_ && line_.size() + piece.size() > kMaxPingLineBytes) {
      overlong_ = true;
      line_.clear();
    }
    if (!overlong_)
      line_.append(piece);
    if (lf == std::string_view::npos)
      return;
    if (!overlong_)
      take_line(line_);
    line_.clear();
    overlong_ = false;
    output.remove_prefix(lf + 1);
  }
}

void PingOutputParser::finish() {
  if (!ended_ && !overlong_ && !line_.empty())
    take_line(line_);
  line_.clear();
  ended_ = true;
}

void PingOutputParser::take_line(std::string_view line) {
  if (line.empty()) {
    ended_ = true;  // the statistics follow the first empty line
    return;
  }
  std::istringstream words{std::string(line)};
  std::string word[4];
  for (std::string& w : word)
    words >> w;
  if (word[0] == "PING")
    return;
  std::string address;
  const size_t zone = word[3].find('%');
  if (zone != std::string::npos) {
    address = word[3].substr(0, zone);
  } else {
    // BusyBox prints the address without a zone but with the colon.
    address = word[3];
    if (!address.empty() && address.back() == ':')
      address.pop_back();
  }
  if (!is_link_local_text(address) || neighbours_.count(address) != 0)
    return;
  if (neighbours_.size() >= kMaxNeighbours) {
    left_out_ = true;
    return;
  }
  neighbours_.insert(address);
}

bool parse_ping_output(const std::string& output,
                       std::unordered_set<std::string>& neighbours) {
  PingOutputParser parser(neighbours);
  parser.feed(output);
  parser.finish();
  return parser.left_out();
}

std::string ping_failure(int status, bool found_any) {
  if (found_any || status == -1)
    return "";
  if (WIFEXITED(status))
    return WEXITSTATUS(status) <= 1
               ? ""
               : "error:ping6 exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "error:ping6 signal " + std::to_string(WTERMSIG(status));
  return "";
}

bool ping6(int /*iface_index*/, const std::string& iface_name,
           std::unordered_set<std::string>& neighbours, bool* left_out) {
  // An interface name may hold ; $ ( ) and the like: it must reach ping6
  // as one word that the shell never interprets.
  const std::string cmd = "ping6 -w " + std::to_string(kPingDeadlineSeconds) +
                          " -I " + shell_quote(iface_name) + " ff02::1";
  int status = 0, start_error = 0;
  const size_t before = neighbours.size();
  // Parsed as it arrives: a flood of answers costs no memory, and the
  // pipe is read to its end, so that ping6 is never left blocked on it.
  PingOutputParser parser(neighbours);
  try {
    exec_each(
        cmd.c_str(), [&parser](std::string_view piece) { parser.feed(piece); },
        &status, &start_error);
  } catch (const std::runtime_error&) {
    // Out of descriptors or processes: no sweep at all, which an empty
    // summary must not pass for. (The reason travels beside the exception,
    // not in it: with no descriptor left, UBSan cannot check an exception
    // object's type, as it probes memory through a pipe, and reports every
    // use of one.)
    print_error(std::string("error:popen: ") + strerror(start_error) + "\n");
    return false;
  }
  parser.finish();
  if (left_out != nullptr)
    *left_out = parser.left_out();
  // At Ctrl-C ping6 ends as it likes; the operator knows why it stopped.
  const std::string failure =
      sweep_interrupted() ? "" : ping_failure(status, neighbours.size() > before);
  if (failure.empty())
    return true;
  print_error(failure + "\n");
  return false;
}
