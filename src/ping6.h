#ifndef CONTR_DISCOVERY_PING6_H_
#define CONTR_DISCOVERY_PING6_H_

#include <string>
#include <unordered_set>

/// The text hook for every Russian text shown on the console: returns its
/// argument unchanged, so that one place can later translate or recode them.
const char* Z(const char* text);

/// Runs `cmd` through the shell and returns everything it wrote to standard
/// output; its wait status (from pclose) goes to `status` when given.
/// Throws std::runtime_error("popen() failed!") when it cannot start, after
/// putting popen's errno into `start_error` when given.
std::string exec(const char* cmd, int* status = nullptr,
                 int* start_error = nullptr);

/// Quotes `word` for the shell as one single-quoted argument.
std::string shell_quote(const std::string& word);

/// Collects the responder addresses from the output of `ping6 ... ff02::1`
/// into `neighbours`, up to the first empty line. The fourth word of a line
/// is the address: iputils prints it with a zone ("fe80::1%eth0:"), which is
/// cut off; BusyBox without ("fe80::1:"), and the trailing colon goes.
/// Lines whose fourth word is then no IPv6 address text are skipped.
void parse_ping_output(const std::string& output,
                       std::unordered_set<std::string>& neighbours);

/// Seconds ping6 runs before it ends by itself (its -w).
inline constexpr int kPingDeadlineSeconds = 2;

/// The report for a ping6 that failed ("error:ping6 exit status N" or
/// "error:ping6 signal N"), or "" when it did not: when it found an
/// address, or ended normally with 0 or 1 (iputils: no answer). `status` is
/// the wait status pclose gave.
std::string ping_failure(int status, bool found_any);

/// Pings the all-nodes group through adapter `iface_name` for two seconds and
/// adds every address that answered to `neighbours`. `iface_index` is unused.
/// False, after the report on standard error, when ping6 itself failed
/// (missing, refused its options, ended by a signal) and found nothing, or
/// could not be started at all ("error:popen: " and the system's reason).
bool ping6(int iface_index, const std::string& iface_name,
           std::unordered_set<std::string>& neighbours);

#endif  // CONTR_DISCOVERY_PING6_H_
