#ifndef CONTR_DISCOVERY_TESTS_TEST_UTIL_H_
#define CONTR_DISCOVERY_TESTS_TEST_UTIL_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace testutil {

/// Paths of the build and of the source tree.
std::string binary_dir();
std::string source_dir();

/// The tool the end-to-end tests run: $CONTR_TOOL when set (the installed
/// package, in its autopkgtest), else this build's.
std::string tool_path();

/// Empty when namespaces can be made here; otherwise why not.
std::string netns_unavailable();

/// Skips the test when `why` is not empty, or fails it when
/// CONTR_REQUIRE_NETNS is set (CI), where nothing may be skipped.
#define CONTR_REQUIRE(why_expr)                                           \
  do {                                                                    \
    const std::string why = (why_expr);                                   \
    if (!why.empty()) {                                                   \
      if (getenv("CONTR_REQUIRE_NETNS") != nullptr)                       \
        FAIL() << "test cannot run: " << why;                             \
      GTEST_SKIP() << why;                                                \
    }                                                                     \
  } while (0)

/// Empty when `command` is on the PATH; otherwise that it is not installed.
std::string missing(const std::string& command);

/// For tests that make network namespaces.
#define REQUIRE_NETNS() CONTR_REQUIRE(testutil::netns_unavailable())
/// For tests that need root for something else (giving a file away).
#define REQUIRE_ROOT() \
  CONTR_REQUIRE(geteuid() == 0 ? std::string() : "needs root")

/// A fresh name "cdt-<tree>-<pid>-<n>": <tree> tells this build tree from
/// others, <pid> this test process from others, so that a cleanup removes
/// only what its own tree's finished runs left.
std::string unique_name();

/// `text` `times` times over.
std::string repeated(std::string_view text, int times);

/// `bytes` bytes of the two-byte letter Ж.
std::string cyrillic(size_t bytes);

/// The whole content of a file (empty if it cannot be read).
std::string read_file(const std::string& path);

/// A new folder under /tmp that nobody else could have made (mkdtemp),
/// open to its owner only.
std::string temp_folder();

/// Writes `content` to a new file under /tmp with a name nobody could
/// have taken first (mkstemp), and returns its path.
std::string write_temp_file(const std::string& name, const std::string& content);

/// Runs a shell command; returns its exit status (-1 if it did not exit).
int sh(const std::string& cmd);

/// Runs a shell command and returns its standard output.
std::string sh_out(const std::string& cmd);

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when killed by a signal
};

/// Runs `cmd` through the shell with `input` as standard input.
ProcessResult run_process(const std::string& cmd, const std::string& input);

struct ChildResult {
  std::string out;     // what the child wrote to standard output
  std::string err;     // ... and to standard error
  std::string result;  // what `fn` returned
};

/// Runs `fn` in a forked child whose standard input reads `input` and whose
/// standard output and error are captured. Keeps the test process's own
/// stdio untouched.
ChildResult run_child(const std::string& input,
                      const std::function<std::string()>& fn);

/// A copy of the scripts, the tools and the built tool and simulator that
/// an ordinary user can reach whatever the checkout's folders allow (a
/// clone under /root is closed to others): DIR/scripts, DIR/tools and
/// DIR/build, DIR a fresh folder under /var/tmp (mkdtemp). Removed with the
/// object.
class SharedCopy {
 public:
  SharedCopy();
  ~SharedCopy();
  SharedCopy(const SharedCopy&) = delete;
  SharedCopy& operator=(const SharedCopy&) = delete;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

/// A shell command that runs `script` (no single quotes in it) with a
/// private, empty /tmp, in which the source and build trees stay visible.
std::string with_private_tmp(const std::string& script);

/// A named network namespace that lives as long as the object.
class Netns {
 public:
  Netns();
  /// A namespace of this name, which must be one of this test's own.
  explicit Netns(const std::string& name);
  ~Netns();
  Netns(const Netns&) = delete;
  Netns& operator=(const Netns&) = delete;
  const std::string& name() const { return name_; }
  /// Runs `ip -n NAME -batch -` with these commands; fails the test on error.
  void ip_batch(const std::string& commands) const;

 private:
  std::string name_;
};

/// Switches the calling thread into a named namespace for its lifetime.
class InNetns {
 public:
  explicit InNetns(const std::string& name);
  ~InNetns();
  InNetns(const InNetns&) = delete;
  InNetns& operator=(const InNetns&) = delete;

 private:
  int saved_ = -1;
};

/// A lab segment built by tools/lab.
class Lab {
 public:
  struct Node {
    std::string name;
    std::string ns;
    std::string address;
  };
  /// `host_line` is "IFNAME ADDR/LEN..."; each node line is
  /// "NAME controller_sim-args" or "NAME --no-sim".
  Lab(const std::string& host_line, const std::vector<std::string>& nodes);
  ~Lab();
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  bool ok() const { return ok_; }
  const std::string& host_ns() const { return host_ns_; }
  const std::string& host_if() const { return host_if_; }
  const std::string& host_address() const { return host_address_; }
  const std::vector<Node>& nodes() const { return nodes_; }
  const Node& node(const std::string& name) const;
  const std::string& state_dir() const { return state_; }
  /// What the node's controller_sim wrote (with --record: what each
  /// connection received).
  std::string log(const std::string& name) const;
  /// Starts a controller_sim in the host's own namespace too (tools/lab
  /// serve) and waits until it listens; `sim_args` are shell words.
  bool serve(const std::string& sim_args) const;

 private:
  std::string state_;
  bool ok_ = false;
  std::string host_ns_, host_if_, host_address_;
  std::vector<Node> nodes_;
};

/// Runs the real binary in a lab's host namespace with a private /tmp and a
/// stand-in chromium first on the PATH that records its arguments and copies
/// the page it was asked to open.
class ToolRunner {
 public:
  explicit ToolRunner(const Lab& lab);
  ~ToolRunner();
  ToolRunner(const ToolRunner&) = delete;
  ToolRunner& operator=(const ToolRunner&) = delete;

  /// `prepare` is shell run inside the private /tmp before the tool starts;
  /// `redirects` are shell redirections for the tool itself (">&-" starts
  /// it with standard output closed).
  /// `after` is shell run there once the tool has ended.
  ProcessResult run(const std::string& input,
                    const std::string& prepare = "true",
                    const std::string& redirects = "",
                    const std::string& after = "true");
  /// The shell command that `run` runs (for running it elsewhere, on a
  /// terminal for instance).
  std::string command(const std::string& prepare = "true",
                      const std::string& redirects = "",
                      const std::string& after = "true") const;
  /// Wall seconds and peak resident KiB of the last run (the largest
  /// process it started, the tool among them).
  double seconds() const { return seconds_; }
  long peak_kib() const { return peak_kib_; }
  /// What the stand-in browser was called with, after waiting for it.
  std::string browser_calls() const;
  /// What the browser was called with (empty if it was not), when the
  /// last run() ended: that waited for every process the run started.
  std::string browser_calls_after_the_run() const;
  /// Where the browser's standard output pointed ("closed" when it was),
  /// after waiting for the call.
  std::string browser_stdout() const;
  /// The page the browser was asked to open, after waiting for the call.
  std::string page() const;
  /// Puts a stand-in ping6 that prints `printf_format` first on the PATH.
  void stub_ping6(const std::string& printf_format);
  /// Puts a stand-in ping6 that runs this shell script first on the PATH.
  void stub_ping6_script(const std::string& script);
  /// Puts BusyBox's ping6 first on the PATH.
  void busybox_ping6();
  /// Runs the tool under this command prefix ("strace -f ... "), which
  /// ends with a blank.
  void launch_under(const std::string& prefix) { launcher_ = prefix; }
  const std::string& out_dir() const { return out_; }

 private:
  const Lab& lab_;
  std::string out_, stubs_, launcher_;
  double seconds_ = 0;
  long peak_kib_ = 0;
};

/// The status lines between the summary heading and the page addresses.
std::vector<std::string> summary_lines(const std::string& out);

/// `text` with each fragment removed once; false if one was missing.
bool remove_each(std::string& text, const std::vector<std::string>& fragments);

/// Standard error of a run without the warning ping6 prints when the
/// adapter has only a link-local address.
std::string without_ping_warning(std::string err);

/// Count of open descriptors of this process.
int open_fd_count();

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_TEST_UTIL_H_
