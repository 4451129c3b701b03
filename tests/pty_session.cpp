#include "pty_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>

namespace testutil {

using Clock = std::chrono::steady_clock;

static double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

PtySession::PtySession(const Launch& launch, unsigned short columns) {
  winsize size{24, columns, 0, 0};
  if ((pid_ = forkpty(&master_, nullptr, nullptr, &size)) == 0)
    become(launch);
}

PtySession::~PtySession() {
  if (pid_ > 0 && !ended_) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(master_);
}

int PtySession::read_some(int ms) {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0)
    return 0;
  char buffer[4096];
  const ssize_t n = read(master_, buffer, sizeof buffer);
  // EIO: every process that had the terminal open has closed it.
  if (n <= 0)
    return n == -1 && errno == EINTR ? 0 : -1;
  out_.append(buffer, size_t(n));
  return int(n);
}

bool PtySession::wait_for(const std::string& text, double seconds, size_t from) {
  const Clock::time_point start = Clock::now();
  while (out_.find(text, from) == std::string::npos)
    if (since(start) > seconds || read_some(50) < 0)
      return out_.find(text, from) != std::string::npos;
  return true;
}

bool PtySession::wait_quiet(double quiet, double seconds) {
  const Clock::time_point start = Clock::now();
  for (Clock::time_point last = start; since(start) < seconds;) {
    const int got = read_some(50);
    if (got < 0 || (got == 0 && since(last) >= quiet))
      return true;
    if (got > 0)
      last = Clock::now();
  }
  return false;
}

void PtySession::type(const std::string& keys) {
  if (write(master_, keys.data(), keys.size()) == -1) {
  }
}

int PtySession::wait_exit(double seconds) {
  for (const Clock::time_point start = Clock::now(); since(start) < seconds; read_some(50)) {
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
      ended_ = true;
      while (read_some(200) > 0) {  // what its last writes left
      }
      return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
  }
  return -1;
}

}  // namespace testutil
