#ifndef CONTR_DISCOVERY_UNIQUE_FD_H_
#define CONTR_DISCOVERY_UNIQUE_FD_H_

#include <unistd.h>

#include <cerrno>
#include <utility>

/// Owns one descriptor; -1 is empty. Closing on reset preserves errno so
/// that a message of errno after a cleanup still names the real failure.
class unique_fd {
 public:
  explicit unique_fd(int fd = -1) : fd_(fd) {}
  unique_fd(unique_fd&& other) noexcept : fd_(other.release()) {}
  unique_fd& operator=(unique_fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  ~unique_fd() { reset(); }

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ != -1) {
      const int saved = errno;
      close(fd_);
      errno = saved;
    }
    fd_ = fd;
  }

 private:
  int fd_;
};

#endif  // CONTR_DISCOVERY_UNIQUE_FD_H_
