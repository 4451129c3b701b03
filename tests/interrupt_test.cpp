#include "interrupt.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "launch.h"

namespace {

using Clock = std::chrono::steady_clock;

/// poll_unless_interrupted() for `ms` on a pipe that never becomes
/// readable: its result, errno as it left it, and in `took` the seconds it
/// waited.
int quiet_poll(int ms, double& took) {
  int fds[2];
  if (pipe(fds) != 0)
    return -2;
  pollfd p{fds[0], POLLIN, 0};
  const auto start = Clock::now();
  const int n = poll_unless_interrupted(&p, 1, ms);
  const int err = errno;
  took = std::chrono::duration<double>(Clock::now() - start).count();
  close(fds[0]);
  close(fds[1]);
  errno = err;
  return n;
}

TEST(SweepInterrupt, EndsAWaitAndOnlyOnce) {
  const testutil::ChildResult r = testutil::run_child("", [] {
    std::string log;
    arm_sweep_interrupt();
    log += sweep_interrupted() ? "set " : "clear ";
    // A Ctrl-C that came before the wait still ends it at once.
    raise(SIGINT);
    log += sweep_interrupted() ? "set " : "clear ";
    double took = 0;
    const int n = quiet_poll(3000, took);
    const int err = errno;
    log += std::to_string(n) + (err == EINTR ? " EINTR " : " other ");
    log += took < 1.0 ? "at-once " : "waited ";

    // The handler was used once: the second Ctrl-C has its default action.
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    log += now.sa_handler == SIG_DFL ? "default " : "handled ";

    disarm_sweep_interrupt();
    arm_sweep_interrupt();  // a new sweep starts clear
    log += sweep_interrupted() ? "set " : "clear ";
    disarm_sweep_interrupt();
    return log;
  });
  EXPECT_EQ(r.result, "clear set -1 EINTR at-once default clear ");
}

TEST(SweepInterrupt, OtherSignalsAndTimeouts) {
  const testutil::ChildResult r = testutil::run_child("", [] {
    std::string log;
    arm_sweep_interrupt();
    // Another signal that interrupts the wait is ridden out: the bound
    // still holds, no earlier and not cut short.
    struct sigaction alarm_action {};
    alarm_action.sa_handler = [](int) {};
    sigaction(SIGALRM, &alarm_action, nullptr);
    alarm(1);
    double took = 0;
    const int n = quiet_poll(1500, took);
    log += std::to_string(n) + (took >= 1.4 && took < 2.5 ? " bound " : " off ");
    log += sweep_interrupted() ? "set" : "clear";
    disarm_sweep_interrupt();
    return log;
  });
  EXPECT_EQ(r.result, "0 bound clear");
}

void mark(int) {}

// What SIGINT did before the sweep it does again afterwards; one that was
// ignored (nohup, a job started with &) stays ignored all along, and a
// Ctrl-C then neither ends a wait nor counts.
TEST(SweepInterrupt, TheActionBeforeTheSweepIsKept) {
  struct Case {
    const char* what;
    void (*before)(int);
    const char* log;
  } cases[] = {
      {"default", SIG_DFL, "armed set after:same"},
      {"ignored", SIG_IGN, "ignored clear 0 after:same"},
      {"a handler", mark, "armed set after:same"},
  };
  for (const Case& c : cases) {
    const testutil::ChildResult r = testutil::run_child("", [&c] {
      std::string log;
      struct sigaction action {};
      action.sa_handler = c.before;
      sigaction(SIGINT, &action, nullptr);
      arm_sweep_interrupt();
      struct sigaction now {};
      sigaction(SIGINT, nullptr, &now);
      log += now.sa_handler == SIG_IGN ? "ignored " : "armed ";
      raise(SIGINT);
      log += sweep_interrupted() ? "set " : "clear ";
      double took = 0;
      if (now.sa_handler == SIG_IGN)
        log += std::to_string(quiet_poll(100, took)) + " ";
      disarm_sweep_interrupt();
      sigaction(SIGINT, nullptr, &now);
      log += now.sa_handler == c.before ? "after:same" : "after:other";
      return log;
    });
    EXPECT_EQ(r.result, c.log) << c.what;
  }
}

}  // namespace
