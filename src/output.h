#ifndef CONTR_DISCOVERY_OUTPUT_H_
#define CONTR_DISCOVERY_OUTPUT_H_

/// Write errors of standard output. All of it goes through stdio (the
/// stream output too, which stays synchronised with it). A failed write
/// sets the stream's error flag and drops the buffer, and the reason is
/// only in errno right then: so it is taken at each flush.

/// Flushes standard output and keeps the reason of the first failure.
void flush_stdout();

/// At the end of a run: flushes standard output; when any write to it
/// failed, prints "error:write: " and the reason on standard error and
/// returns 1, otherwise `status`.
int finish_stdout(int status);

#endif  // CONTR_DISCOVERY_OUTPUT_H_
