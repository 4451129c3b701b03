#include "console.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "device_text.h"
#include "text_hook.h"

namespace {

int g_write_error = 0;
bool g_progress_shown = false;
/// The last text on standard output left the cursor inside a line ("error:
/// recv timeout" has no line end): a progress text must not overwrite it.
bool g_stdout_line_open = false;

/// isatty and ioctl set errno (ENOTTY) when they say no, and callers may be
/// about to report a failure of their own by it: every look at the
/// terminal keeps errno as it was.
class KeepErrno {
 public:
  KeepErrno() : saved_(errno) {}
  ~KeepErrno() { errno = saved_; }
  KeepErrno(const KeepErrno&) = delete;
  KeepErrno& operator=(const KeepErrno&) = delete;

 private:
  int saved_;
};

bool is_terminal(int fd) {
  const KeepErrno keep;
  return isatty(fd) == 1;
}

/// The width of the terminal on `fd`; 0 when it is none or does not say.
unsigned columns_of(int fd) {
  const KeepErrno keep;
  winsize size{};
  return ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

/// The progress line is drawn only where standard output and standard error
/// are one terminal. Behind "| tee run.log" standard output reaches the
/// same screen through another process, at a time we cannot know, and the
/// progress line's CR and erase would wipe a message from it. Decided
/// once: a run does not move from a terminal into a file.
bool progress_enabled() {
  static const bool on = [] {
    const KeepErrno keep;
    struct stat out {}, err {};
    return is_terminal(STDOUT_FILENO) && is_terminal(STDERR_FILENO) &&
           fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
           out.st_rdev == err.st_rdev;
  }();
  return on;
}

void write_stderr(std::string_view text) {
  const KeepErrno keep;
  // Standard output may hold text that belongs on the screen before ours.
  flush_stdout();
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
}

}  // namespace

void print(std::string_view text) {
  const KeepErrno keep;
  progress_clear();
  fwrite(text.data(), 1, text.size(), stdout);
  flush_stdout();
  if (!text.empty())
    g_stdout_line_open = text.back() != '\n';
}

void print_format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0)
    vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  print(text);
}

void print_error(std::string_view text) {
  progress_clear();
  write_stderr(text);
}

void print_errno(const char* what) {
  std::string text = what;
  text += ": ";
  text += strerror(errno);
  text += '\n';
  print_error(text);  // keeps errno
}

void flush_stdout() {
  const KeepErrno keep;
  // All of standard output goes through stdio, and a failed write sets the
  // stream's error flag and drops the buffer; its reason is in errno right
  // then only. The flag may also come from a write that a full buffer
  // started since the last flush: then this flush succeeds and leaves
  // errno as that write set it, as every text is flushed right after it
  // is written, before anything else can fail.
  if ((fflush(stdout) != 0 || ferror(stdout)) && g_write_error == 0)
    g_write_error = errno != 0 ? errno : EIO;
}

int finish_stdout(int status) {
  flush_stdout();
  if (g_write_error == 0)
    return status;
  print_error(std::string("error:write: ") + strerror(g_write_error) + "\n");
  return 1;
}

void progress_show(int position, int total) {
  if (!progress_enabled())
    return;
  std::string line = Z("Опрос узлов: ");
  line += std::to_string(position);
  line += Z(" из ");
  line += std::to_string(total);
  line += Z(" (Ctrl-C — итог по опрошенным)");
  // A text as wide as the terminal wraps, and the CR of the next update
  // goes back to the start of the second row only, leaving the first one
  // behind. So the text stays three columns short of the width: two for
  // the "^C" that the terminal echoes right after it at Ctrl-C, and one
  // for the cursor, which must stay on the row. The width is read anew at
  // each update, as the window may have been resized.
  const unsigned columns = columns_of(STDERR_FILENO);
  if (columns > 0)
    line.resize(utf8_prefix_chars(line, columns > 3 ? columns - 3 : 0));

  std::string text;
  // An unfinished line of standard output stands where the progress text
  // would go.
  if (g_stdout_line_open)
    text += '\n';
  g_stdout_line_open = false;
  // CR to the line's start, the text, then ESC [ K erases what is left of a
  // longer earlier text.
  text += '\r';
  text += line;
  text += "\x1b[K";
  write_stderr(text);
  g_progress_shown = true;
}

void progress_clear() {
  if (!g_progress_shown)
    return;
  write_stderr("\r\x1b[K");
  g_progress_shown = false;
}

unsigned screen_columns() {
  if (is_terminal(STDOUT_FILENO))
    return columns_of(STDOUT_FILENO);
  if (is_terminal(STDERR_FILENO))
    return columns_of(STDERR_FILENO);
  return 0;
}

void show_headerless_reply(std::string_view reply) {
  // The pieces must fit the terminal the operator reads them on.
  print(Z("Заголовок не найден.") + std::string("\n") +
        quote_reply(reply, dump_piece_bytes(screen_columns())));
}
