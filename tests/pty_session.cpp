#include "pty_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace testutil {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

PtySession::PtySession(const std::string& shell_command,
                       unsigned short columns) {
  winsize size{24, columns, 0, 0};
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ == 0) {
    // exec: a shell that waited for the command would itself die of the
    // Ctrl-C meant for the command (dash has no SIGINT handling then).
    const std::string line = "exec " + shell_command;
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

PtySession::~PtySession() {
  if (pid_ > 0 && !ended_) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ != -1)
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
  out_.append(buffer, static_cast<size_t>(n));
  return static_cast<int>(n);
}

bool PtySession::wait_for(const std::string& text, double seconds,
                          size_t from) {
  const Clock::time_point start = Clock::now();
  while (out_.find(text, from) == std::string::npos)
    if (since(start) > seconds || read_some(50) < 0)
      return out_.find(text, from) != std::string::npos;
  return true;
}

bool PtySession::wait_quiet(double quiet, double seconds) {
  const Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  while (since(start) < seconds) {
    const int got = read_some(50);
    if (got < 0)
      return true;
    if (got > 0)
      last = Clock::now();
    else if (since(last) >= quiet)
      return true;
  }
  return false;
}

void PtySession::type(const std::string& keys) {
  if (write(master_, keys.data(), keys.size()) == -1)
    return;
}

int PtySession::wait_exit(double seconds) {
  const Clock::time_point start = Clock::now();
  while (since(start) < seconds) {
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
      ended_ = true;
      // What its last writes left on the terminal.
      while (read_some(200) > 0) {
      }
      return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    read_some(50);
  }
  return -1;
}

std::vector<std::string> render_screen(const std::string& bytes,
                                       size_t columns) {
  // Each cell holds one character's bytes.
  std::vector<std::vector<std::string>> screen(1);
  size_t row = 0, col = 0;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      col = 0;
      ++i;
    } else if (c == '\n') {
      if (++row == screen.size())
        screen.emplace_back();
      ++i;
    } else if (bytes.compare(i, 3, "\x1b[K") == 0) {
      if (screen[row].size() > col)
        screen[row].resize(col);
      i += 3;
    } else {
      size_t n = 1;
      while (i + n < bytes.size() &&
             (static_cast<unsigned char>(bytes[i + n]) & 0xc0) == 0x80)
        ++n;
      if (col >= columns) {  // wrap, as a terminal does
        col = 0;
        if (++row == screen.size())
          screen.emplace_back();
      }
      if (screen[row].size() <= col)
        screen[row].resize(col + 1, " ");
      screen[row][col++] = bytes.substr(i, n);
      i += n;
    }
  }
  std::vector<std::string> lines;
  for (const auto& cells : screen) {
    std::string line;
    for (const std::string& cell : cells)
      line += cell;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace testutil
