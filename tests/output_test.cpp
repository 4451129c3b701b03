#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>

#include "test_util.h"

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

// A write that failed anywhere in the run, through printf or the stream,
// in a flush or in a full buffer's own write, gives its reason and status
// 1 at the end; a run whose writes went through keeps its status.
TEST(FinishStdout, ReportsTheFirstFailedWrite) {
  struct Case {
    std::string what;
    std::function<void()> run;
    std::string result, err;
  } cases[] = {
      {"all written", [] { printf("text\n"); }, "3", ""},
      {"printf, flushed",
       [] {
         stdout_to_full();
         printf("text\n");
         flush_stdout();
       },
       "1", "error:write: No space left on device\n"},
      {"the stream, at its line end",
       [] {
         stdout_to_full();
         std::cout << "text" << std::endl;
       },
       "1", "error:write: No space left on device\n"},
      {"a full buffer, long before the end",
       [] {
         stdout_to_full();
         std::cout << std::string(100000, 'x');
         std::cout << "after it" << std::endl;
       },
       "1", "error:write: No space left on device\n"},
      {"a pipe without its reader, SIGPIPE ignored",
       [] {
         signal(SIGPIPE, SIG_IGN);
         stdout_to_closed_pipe();
         printf("text\n");
         flush_stdout();
       },
       "1", "error:write: Broken pipe\n"},
  };
  for (const Case& c : cases) {
    const testutil::ChildResult r = testutil::run_child("", [&c] {
      c.run();
      return std::to_string(finish_stdout(3));
    });
    EXPECT_EQ(r.result, c.result) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
}

}  // namespace
