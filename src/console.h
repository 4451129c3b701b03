#ifndef CONTR_DISCOVERY_CONSOLE_H_
#define CONTR_DISCOVERY_CONSOLE_H_

#include <string_view>

// The one owner of the terminal. Everything the tool writes to standard
// output or standard error goes through here: so the progress line is out
// of the way before any other text, standard output reaches the screen
// before a message on standard error, and a failed write is remembered.
// Only ping6's and the browser's own messages reach the terminal directly.

/// Writes `text` to standard output and flushes it.
void print(std::string_view text);

/// print() of a printf-style format.
void print_format(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

/// Writes `text` to standard error, after what standard output holds.
void print_error(std::string_view text);

/// `what`, ": " and the system's text for errno on standard error, as
/// perror(3) writes them.
void print_errno(const char* what);

/// Flushes standard output and keeps the reason of its first failed write.
void flush_stdout();

/// At the end of a run: flushes standard output; when any write to it
/// failed, prints "error:write: " and the reason on standard error and
/// returns 1, otherwise `status`.
int finish_stdout(int status);

/// The sweep's progress line, on standard error and only when standard
/// output and standard error are one terminal: "Опрос узлов: K из M ..."
/// in place of the previous one. Any other text written here first erases
/// it.
void progress_show(int position, int total);

/// Erases the progress line, if one is shown.
void progress_clear();

/// The width of the terminal the operator reads standard output on: its
/// own, or where it goes into a pipe ("contr_discovery | tee run.log"),
/// standard error's, which is then the same screen; 0 when neither is a
/// terminal.
unsigned screen_columns();

/// Prints "Заголовок не найден." and the quoted head of a reply without a
/// header block, in pieces that fit the terminal the operator sees.
void show_headerless_reply(std::string_view reply);

#endif  // CONTR_DISCOVERY_CONSOLE_H_
