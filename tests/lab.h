#ifndef CONTR_DISCOVERY_TESTS_LAB_H_
#define CONTR_DISCOVERY_TESTS_LAB_H_

// Real kernel objects for the tests: network namespaces, the segments of
// tools/lab, and the real binary run inside one.

#include <string>
#include <vector>

#include "files.h"
#include "launch.h"

namespace testutil {

/// Empty when namespaces can be made here; otherwise why not.
std::string netns_unavailable();
#define REQUIRE_NETNS() CONTR_REQUIRE(testutil::netns_unavailable())

/// A named network namespace that lives as long as the object.
class Netns {
 public:
  /// A fresh name, or this one, which must be one of this test's own.
  explicit Netns(const std::string& name = unique_name());
  ~Netns();
  Netns(const Netns&) = delete;
  const std::string& name() const { return name_; }
  /// `ip -n NAME -batch -` with these commands; fails the test on error.
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

 private:
  int saved_ = -1;
};

/// A lab segment built by tools/lab, removed with the object.
class Lab {
 public:
  struct Node {
    std::string name, ns, address;
  };
  /// `host_line` is "IFNAME ADDR/LEN..."; each node line is
  /// "NAME controller_sim-args" or "NAME --no-sim", as tools/lab reads it.
  Lab(const std::string& host_line, const std::vector<std::string>& nodes);
  ~Lab();
  Lab(const Lab&) = delete;
  /// Whether it was built; if not, why not.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& host_ns() const { return host_ns_; }
  const std::string& host_if() const { return host_if_; }
  const std::string& host_address() const { return host_address_; }
  const std::string& prefix() const { return prefix_; }
  const std::string& state_dir() const { return state_.path(); }
  const Node& node(const std::string& name) const;
  /// What the node's controller_sim wrote (with --record: what each
  /// connection received).
  std::string log(const std::string& name) const;
  /// tools/lab serve: a controller_sim with `sim_args` in the host's
  /// namespace too, listening when it returns true.
  bool serve(const std::vector<std::string>& sim_args) const;

 private:
  TempDir state_;
  std::string error_, prefix_, host_ns_, host_if_, host_address_;
  std::vector<Node> nodes_;
};

/// For suites whose tests share one lab: `Owner` (which has lab()) is
/// built before the first test, removed after the last, and each test
/// needs namespaces and a lab that was built.
template <class Owner>
class LabSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (netns_unavailable().empty())
      lab_ = &(owner_ = new Owner)->lab();
  }
  static void TearDownTestSuite() { delete owner_; }
  void SetUp() override {
    REQUIRE_NETNS();
    ASSERT_TRUE(lab_->ok()) << lab_->error();
  }
  static inline Owner* owner_ = nullptr;
  static inline Lab* lab_ = nullptr;
};

/// The real binary in a lab's host namespace with a private /tmp and a
/// stand-in chromium (tests/bin/chromium) first on the PATH, which keeps
/// how it was called, where its standard output pointed and the page.
class ToolRunner {
 public:
  explicit ToolRunner(const Lab& lab);
  /// The tool's launch, to which a test adds what it needs.
  Launch launch() const;
  /// Runs it, or a launch() with `input`.
  Outcome run(const Launch& launch) const { return testutil::run(launch); }
  Outcome run(const std::string& input) const;

  /// What the browser was called with ("" if it was not), where its
  /// standard output pointed, and the page it was asked to open.
  std::string browser_calls() const { return read_file(out_ / "calls"); }
  std::string browser_stdout() const { return read_file(out_ / "stdout"); }
  std::string page() const { return read_file(out_ / "page.html"); }
  /// ping6 as a stand-in (tests/bin/ping6) that prints `out` and `err` and
  /// exits with `status`, or as `program` (BusyBox).
  void stub_ping6(const std::string& out, const std::string& err = "", int status = 0);
  void ping6(const std::string& program);
  /// Runs the tool under this command (strace ...).
  void launch_under(const std::vector<std::string>& prefix) { under_ = prefix; }
  const std::string& out_dir() const { return out_.path(); }

 private:
  const Lab& lab_;
  TempDir out_;
  std::vector<std::string> under_;
};

/// The status lines between the summary heading and the page addresses.
std::vector<std::string> summary_lines(const std::string& out);

/// The same lines in order, for comparing sets of lines.
std::vector<std::string> sorted(std::vector<std::string> lines);
/// `text` with each fragment removed once; false if one was missing.
bool remove_each(std::string& text, const std::vector<std::string>& fragments);
/// Standard error of a run without the warnings of iputils' ping6 (when
/// the adapter has only a link-local address, and to an ordinary user).
std::string without_ping_warning(std::string err);

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_LAB_H_
