#include "console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>

#include "launch.h"

namespace {

/// Standard output on a device that is always full.
void stdout_to_full() {
  const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  dup2(fd, STDOUT_FILENO);
  close(fd);
}

/// Standard output on a pipe whose reader has gone.
void stdout_to_closed_pipe() {
  int fds[2];
  if (pipe(fds) != 0)
    return;
  close(fds[0]);
  dup2(fds[1], STDOUT_FILENO);
  close(fds[1]);
}

// A write that failed anywhere in the run, the first one or one long
// before the end, gives its reason and status 1 at the end; a run whose
// writes went through keeps its status.
TEST(FinishStdout, ReportsTheFirstFailedWrite) {
  struct Case {
    std::string what;
    std::function<void()> run;
    std::string out, result, err;
  } cases[] = {
      {"all written",
       [] {
         print("text\n");
         print_format("%d: %s\n", 2, "eth0");
       },
       "text\n2: eth0\n", "3", ""},
      {"a full device",
       [] {
         stdout_to_full();
         print("text\n");
       },
       "", "1", "error:write: No space left on device\n"},
      {"a failure long before the end, later writes fine",
       [] {
         stdout_to_full();
         print(std::string(100000, 'x'));
         const int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
         dup2(fd, STDOUT_FILENO);
         close(fd);
         print("after it\n");
       },
       "", "1", "error:write: No space left on device\n"},
      {"a pipe without its reader, SIGPIPE ignored",
       [] {
         signal(SIGPIPE, SIG_IGN);
         stdout_to_closed_pipe();
         print_format("%s\n", "text");
       },
       "", "1", "error:write: Broken pipe\n"},
  };
  for (const Case& c : cases) {
    const testutil::ChildResult r = testutil::run_child("", [&c] {
      c.run();
      return std::to_string(finish_stdout(3));
    });
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.result, c.result) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
}

// Standard output reaches its file before a message on standard error,
// whatever stdio's buffers would do; errno survives the message; and with
// standard error in a file no progress text is written.
TEST(Console, OrderErrnoAndNoProgressIntoAFile) {
  const testutil::ChildResult r = testutil::run_child("", [] {
    // Both into one file, as "2>&1" puts them.
    dup2(STDOUT_FILENO, STDERR_FILENO);
    print("crs_send failed");
    progress_show(1, 3);
    errno = ECONNREFUSED;
    print_errno("error:connect");
    print_error("error:ping6 exit status 2\n");
    progress_clear();
    return std::string(errno == ECONNREFUSED ? "kept" : "lost");
  });
  EXPECT_EQ(r.out,
            "crs_send failederror:connect: Connection refused\n"
            "error:ping6 exit status 2\n");
  EXPECT_EQ(r.result, "kept");
}

}  // namespace
