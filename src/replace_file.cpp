#include "replace_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "unique_fd.h"

namespace {

bool write_all(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n == -1) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

/// Whether the new file may take the place of what is at `path` now: nothing
/// (`ours` false), or a regular file of ours with no second name (`ours`
/// true). False with errno set otherwise. O_PATH opens without reading, so
/// a planted FIFO or device is looked at, never opened for real; with
/// O_NOFOLLOW it yields the link itself when one is planted.
bool may_replace(const char* path, bool& ours) {
  unique_fd fd(open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() == -1) {
    ours = false;
    return errno == ENOENT;
  }
  struct stat st;
  if (fstat(fd.get(), &st) == -1)
    return false;
  if (S_ISLNK(st.st_mode)) {
    errno = ELOOP;  // what open(O_NOFOLLOW) says of a link
    return false;
  }
  if (st.st_uid != geteuid()) {
    errno = EPERM;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return false;
  }
  // A second name for the file (a hard link planted in /tmp) means it
  // belongs somewhere else too.
  if (st.st_nlink != 1) {
    errno = EMLINK;
    return false;
  }
  ours = true;
  return true;
}

/// Gives the finished file `temp` the name `path`. Over our own file it is
/// a rename; where nothing was, only while the path is still free, so that
/// what another user put there after the check is never replaced (EEXIST).
bool move_into_place(const char* temp, const char* path, bool over_ours) {
  if (over_ours)
    return rename(temp, path) == 0;
  if (renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_NOREPLACE) == 0)
    return true;
  // EINVAL: the file system cannot rename without replacing (some network
  // and FUSE file systems); ENOSYS: a kernel or seccomp filter without
  // renameat2. link(2) never replaces either.
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  if (link(temp, path) != 0)
    return false;
  unlink(temp);
  return true;
}

/// Holds back the signals that end a run (hang-up, Ctrl-C, Ctrl-\, kill)
/// for its lifetime: a run ended while the file is written would leave its
/// temporary file behind. One that came meanwhile takes effect afterwards.
class TerminationHeld {
 public:
  TerminationHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM})
      sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &before_);
  }
  ~TerminationHeld() {
    const int saved = errno;
    sigprocmask(SIG_SETMASK, &before_, nullptr);
    errno = saved;
  }
  TerminationHeld(const TerminationHeld&) = delete;
  TerminationHeld& operator=(const TerminationHeld&) = delete;

 private:
  sigset_t before_;
};

/// Twelve letters and digits from the kernel's random source, so that the
/// temporary name cannot be guessed and planted first. False with errno
/// set when the source fails.
bool random_suffix(std::string& suffix) {
  static const char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char raw[12];
  ssize_t got;
  do {
    got = getrandom(raw, sizeof raw, 0);
  } while (got == -1 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof raw))
    return false;
  suffix.clear();
  for (unsigned char b : raw)
    suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return true;
}

}  // namespace

bool replace_file(const char* path, const std::string& content) {
  bool over_ours = false;
  if (!may_replace(path, over_ours))
    return false;
  // The content goes to a new file beside the old one and takes its name
  // only when it is whole: a full disk leaves the earlier file as it was, and
  // the name is swapped atomically, so nothing planted at the path in the
  // meantime is ever written through (rename replaces a symbolic link or a
  // second name, never its target).
  const TerminationHeld held;
  std::string temp, suffix;
  unique_fd fd;
  for (int attempt = 0; attempt < 100 && fd.get() == -1; ++attempt) {
    if (!random_suffix(suffix))
      return false;
    // Beside the path, so that the rename stays within one file system.
    temp = std::string(path) + "." + suffix;
    fd.reset(open(temp.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.get() == -1 && errno != EEXIST)
      return false;
  }
  if (fd.get() == -1)
    return false;
  // fsync: some file systems report a full disk only when the data is
  // written out, and the new name must not point at a file that is not.
  const bool written = write_all(fd.get(), content) && fsync(fd.get()) == 0;
  const bool closed = close(fd.release()) == 0;
  if (written && closed && move_into_place(temp.c_str(), path, over_ours))
    return true;
  const int err = errno;
  unlink(temp.c_str());
  errno = err;
  return false;
}
