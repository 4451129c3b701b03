#ifndef CONTR_DISCOVERY_PROGRESS_H_
#define CONTR_DISCOVERY_PROGRESS_H_

/// The progress line of the sweep, on standard error and only when that is
/// a terminal; otherwise every call here writes nothing.

/// Shows "Опрос узлов: K из M ..." in place of the previous progress text.
void progress_show(int position, int total);

/// Erases the progress line, if one is shown. Called before anything else
/// is written to standard output or standard error during the sweep.
void progress_clear();

/// Tells that a message just written left the cursor in the middle of a
/// line, so that the next progress text starts on a new line instead of
/// overwriting it.
void progress_after_partial_line();

#endif  // CONTR_DISCOVERY_PROGRESS_H_
