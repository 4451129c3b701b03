#include "interrupt.h"

#include <signal.h>

#include <cerrno>
#include <chrono>

namespace {

volatile sig_atomic_t g_interrupted = 0;
/// What SIGINT did before the sweep: it gets that back afterwards.
struct sigaction g_at_start {};

void on_interrupt(int) { g_interrupted = 1; }

void set_sigint(void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

void arm_sweep_interrupt() {
  g_interrupted = 0;
  sigaction(SIGINT, nullptr, &g_at_start);
  // Started with SIGINT ignored (nohup, or "contr_discovery &" in a
  // script): a Ctrl-C at the terminal is meant for the foreground job, not
  // for us.
  if (g_at_start.sa_handler == SIG_IGN)
    return;
  // No SA_RESTART: a blocking call in progress returns EINTR, so the wait
  // notices. SA_RESETHAND: the handler is used once; a second Ctrl-C ends
  // the program at once, as everywhere else.
  set_sigint(on_interrupt, SA_RESETHAND);
}

void disarm_sweep_interrupt() { sigaction(SIGINT, &g_at_start, nullptr); }

bool sweep_interrupted() { return g_interrupted != 0; }

int poll_unless_interrupted(pollfd* fds, nfds_t count, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(timeout_ms);
  // SIGINT stays blocked from the look at the flag until ppoll has
  // atomically unblocked it: a signal in between cannot slip by and leave
  // us waiting out the whole bound.
  sigset_t sigint, before;
  sigemptyset(&sigint);
  sigaddset(&sigint, SIGINT);
  for (;;) {
    sigprocmask(SIG_BLOCK, &sigint, &before);
    if (g_interrupted) {
      sigprocmask(SIG_SETMASK, &before, nullptr);
      errno = EINTR;
      return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    const long ms = left.count() > 0 ? left.count() : 0;
    const timespec ts{ms / 1000, (ms % 1000) * 1000000};
    const int n = ppoll(fds, count, &ts, &before);
    const int err = errno;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (n != -1 || err != EINTR) {
      errno = err;
      return n;
    }
    // Another signal: wait on for what is left of the bound.
  }
}
