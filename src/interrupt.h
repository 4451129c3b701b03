#ifndef CONTR_DISCOVERY_INTERRUPT_H_
#define CONTR_DISCOVERY_INTERRUPT_H_

#include <poll.h>

/// Ctrl-C during the sweep ends the sweep, not the run. Between
/// arm_sweep_interrupt() and disarm_sweep_interrupt() the first SIGINT only
/// sets a flag (and wakes a wait in progress); a second one has its default
/// action, and afterwards SIGINT does again what it did before. A SIGINT
/// that was ignored before stays ignored throughout.
void arm_sweep_interrupt();
void disarm_sweep_interrupt();

/// True once SIGINT has ended the sweep.
bool sweep_interrupted();

/// poll() for waits that Ctrl-C must end: -1 with errno EINTR as soon as
/// the sweep is interrupted, also when the signal came just before the
/// call. Other signals that interrupt the wait are ridden out.
int poll_unless_interrupted(pollfd* fds, nfds_t count, int timeout_ms);

#endif  // CONTR_DISCOVERY_INTERRUPT_H_
