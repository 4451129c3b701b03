#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int g_write_error = 0;

}  // namespace

void flush_stdout() {
  const int saved = errno;
  // The flag may also come from a write of its own that a full buffer or
  // a long text started since the last flush. Then the buffer is empty and
  // this flush succeeds, leaving errno as that write set it: callers flush
  // right after their output, before anything else can fail. The stream
  // output has no buffer of its own (it is synchronised with stdio), so
  // its failures set the same flag; and its state is not asked here: with
  // no descriptor left, UBSan cannot check the type of a stream object (it
  // probes memory through a pipe) and reports every such call.
  if ((fflush(stdout) != 0 || ferror(stdout)) && g_write_error == 0)
    g_write_error = errno != 0 ? errno : EIO;
  errno = saved;
}

int finish_stdout(int status) {
  flush_stdout();
  if (g_write_error == 0)
    return status;
  fprintf(stderr, "error:write: %s\n", strerror(g_write_error));
  return 1;
}
