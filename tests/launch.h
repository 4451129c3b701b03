#ifndef CONTR_DISCOVERY_TESTS_LAUNCH_H_
#define CONTR_DISCOVERY_TESTS_LAUNCH_H_

// Starting processes from argument lists: namespaces, private mounts, the
// environment, redirections and a pipe are data, set up in the child before
// exec, so that nothing is quoted.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace testutil {

struct Launch {
  std::vector<std::string> argv{};
  /// A named network namespace to enter, or a path to one (such as
  /// /proc/PID/root/run/netns/NAME, in a private /run/netns).
  std::string netns{};
  /// A mount namespace with an empty /tmp (of `tmp_size`, as "512k"), the
  /// source and build trees still seen; and an empty /run/netns.
  bool private_tmp = false;
  std::string tmp_size{};
  bool private_netns_dir = false;
  /// NAME=value to set, or a NAME alone to remove.
  std::vector<std::string> env{};
  std::string input{};  // standard input's bytes (not on a terminal)
  /// Standard output closed, into a file, or through a program ("| cat");
  /// standard error into a file.
  bool close_stdout = false;
  std::string stdout_file{}, stderr_file{};
  std::vector<std::string> stdout_through{};
  bool ignore_sigint = false;  // as nohup or a script's "&" start a program
  /// What the program leaves behind stays unreaped (a zombie) until it
  /// ends, as under a slow init.
  bool keep_orphans = false;
  /// run() waits for what the program starts in the background, the
  /// browser above all: each holds one end of a pipe.
  bool await_background = false;
  /// Run inside, once namespaces and /tmp are made: before the program,
  /// after it, and in its own process right before exec (for limits).
  std::function<void()> before{}, after{}, in_program{};
};

struct Outcome {
  std::string out, err;
  int status = -1, signal = 0;  // exit status (-1: ended by a signal), signal
  double seconds = 0;
  long peak_kib = 0;    // of the largest process it waited for
  std::string command;  // the launch as a command line, for messages
};

Outcome run(const Launch& launch);
/// A plain program's exit status; its standard output.
int status(const std::vector<std::string>& argv);
std::string output(const std::vector<std::string>& argv);
/// Runs it (in network namespace `netns`), and fails the test, with its
/// standard error, unless it exits 0.
void must(const std::vector<std::string>& argv, const std::string& netns = "");
/// Empty when `command` is on the PATH; otherwise that it is not installed.
std::string missing(const std::string& command);
/// In a fresh child (a pseudo-terminal's): does what `launch` asks, runs
/// the program with this process's streams, and ends as it ends.
[[noreturn]] void become(const Launch& launch);

struct ChildResult {
  std::string out, err;  // what the child wrote
  std::string result;    // what `fn` returned
};
/// Runs `fn` in a forked child whose standard input reads `input` and whose
/// standard output and error are captured.
ChildResult run_child(const std::string& input, const std::function<std::string()>& fn);

/// Skips the test when `why` is not empty, or fails it when
/// CONTR_REQUIRE_NETNS is set (CI), where nothing may be skipped.
#define CONTR_REQUIRE(why_expr)                     \
  do {                                              \
    const std::string why = (why_expr);             \
    if (!why.empty()) {                             \
      if (getenv("CONTR_REQUIRE_NETNS") != nullptr) \
        FAIL() << "test cannot run: " << why;       \
      GTEST_SKIP() << why;                          \
    }                                               \
  } while (0)
#define REQUIRE_ROOT() CONTR_REQUIRE(geteuid() == 0 ? std::string() : "needs root")

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_LAUNCH_H_
