#ifndef CONTR_DISCOVERY_PING6_H_
#define CONTR_DISCOVERY_PING6_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

/// Runs `cmd` through the shell and returns everything it wrote to standard
/// output; its wait status (from pclose) goes to `status` when given.
/// Throws std::runtime_error("popen() failed!") when it cannot start, after
/// putting popen's errno into `start_error` when given.
std::string exec(const char* cmd, int* status = nullptr,
                 int* start_error = nullptr);

/// exec, handing the output to `take` piece by piece as it arrives instead
/// of keeping it.
void exec_each(const char* cmd,
               const std::function<void(std::string_view)>& take,
               int* status = nullptr, int* start_error = nullptr);

/// Quotes `word` for the shell as one single-quoted argument.
std::string shell_quote(const std::string& word);

/// The most addresses one sweep asks: one device answering from spoofed
/// addresses would otherwise make a sweep of hours.
inline constexpr size_t kMaxNeighbours = 1024;

/// Reads the output of `ping6 ... ff02::1` as it arrives and collects the
/// responder addresses into `neighbours`, up to the first empty line. The
/// fourth word of a line is the address: iputils prints it with a zone
/// ("fe80::1%eth0:"), which is cut off; BusyBox without ("fe80::1:"), and
/// the trailing colon goes. Only link-local addresses (fe80::/10) are
/// taken, the ones that answer a link-local multicast ping; any other
/// word, and a line longer than any ping6 prints, is skipped. Of the
/// addresses ping6 printed the set keeps the first kMaxNeighbours distinct
/// ones (it has no order of its own: the sweep asks them in the set's);
/// of the output no more than the line at hand is kept.
class PingOutputParser {
 public:
  explicit PingOutputParser(std::unordered_set<std::string>& neighbours)
      : neighbours_(neighbours) {}
  void feed(std::string_view output);
  /// The output has ended: a last line without a line feed counts too.
  void finish();
  /// True when more addresses answered than the set could take.
  bool left_out() const { return left_out_; }

 private:
  void take_line(std::string_view line);

  std::unordered_set<std::string>& neighbours_;
  std::string line_;
  bool overlong_ = false;
  bool ended_ = false;  // at the first empty line
  bool left_out_ = false;
};

/// The whole output at once, through PingOutputParser; its left_out().
bool parse_ping_output(const std::string& output,
                       std::unordered_set<std::string>& neighbours);

/// Seconds ping6 runs before it ends by itself (its -w).
inline constexpr int kPingDeadlineSeconds = 2;

/// The report for a ping6 that failed ("error:ping6 exit status N" or
/// "error:ping6 signal N"), or "" when it did not: when it found an
/// address, or ended normally with 0 or 1 (iputils: no answer). `status` is
/// the wait status pclose gave.
std::string ping_failure(int status, bool found_any);

/// Pings the all-nodes group through adapter `iface_name` for two seconds and
/// adds every address that answered to `neighbours` (at most
/// kMaxNeighbours; `left_out`, when given, tells whether more answered).
/// `iface_index` is unused. False, after the report on standard error,
/// when ping6 itself failed (missing, refused its options, ended by a
/// signal) and found nothing, or could not be started at all
/// ("error:popen: " and the system's reason).
bool ping6(int iface_index, const std::string& iface_name,
           std::unordered_set<std::string>& neighbours,
           bool* left_out = nullptr);

#endif  // CONTR_DISCOVERY_PING6_H_
