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

#include "interrupt.h"

namespace {

// The pipe is read this many bytes at a time; longer lines come in pieces
// that are joined again.
constexpr int kExecReadBytes = 128;

struct PcloseDeleter {
  void operator()(FILE* f) const { pclose(f); }
};
using Pipe = std::unique_ptr<FILE, PcloseDeleter>;

bool is_ipv6_text(const std::string& text) {
  in6_addr addr;
  return text.find('\0') == std::string::npos &&
         inet_pton(AF_INET6, text.c_str(), &addr) == 1;
}

}  // namespace

const char* Z(const char* text) { return text; }

std::string exec(const char* cmd, int* status, int* start_error) {
  std::string result;
  // The deleter runs pclose also when appending throws, so the child is
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
      result.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  const int raw = pclose(pipe.release());
  if (status != nullptr)
    *status = raw;
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

void parse_ping_output(const std::string& output,
                       std::unordered_set<std::string>& neighbours) {
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos)
      end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (line.empty())
      break;  // the statistics follow the first empty line

    std::istringstream words(line);
    std::string word[4];
    for (std::string& w : word)
      words >> w;
    if (word[0] == "PING")
      continue;
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
    // Error reports and odd lines must not put a word into the set that a
    // connection attempt would then choke on.
    if (is_ipv6_text(address))
      neighbours.insert(address);
  }
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
           std::unordered_set<std::string>& neighbours) {
  // An interface name may hold ; $ ( ) and the like: it must reach ping6
  // as one word that the shell never interprets.
  const std::string cmd = "ping6 -w " + std::to_string(kPingDeadlineSeconds) +
                          " -I " + shell_quote(iface_name) + " ff02::1";
  int status = 0, start_error = 0;
  std::string output;
  try {
    output = exec(cmd.c_str(), &status, &start_error);
  } catch (const std::runtime_error&) {
    // Out of descriptors or processes: no sweep at all, which an empty
    // summary must not pass for. What stdout holds goes out first. (The
    // reason travels beside the exception, not in it: with no descriptor
    // left, UBSan cannot check an exception object's type, as it probes
    // memory through a pipe, and reports every use of one.)
    fflush(stdout);
    fprintf(stderr, "error:popen: %s\n", strerror(start_error));
    return false;
  }
  const size_t before = neighbours.size();
  parse_ping_output(output, neighbours);
  // At Ctrl-C ping6 ends as it likes; the operator knows why it stopped.
  const std::string failure =
      sweep_interrupted() ? "" : ping_failure(status, neighbours.size() > before);
  if (failure.empty())
    return true;
  fprintf(stderr, "%s\n", failure.c_str());
  return false;
}
