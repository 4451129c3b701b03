#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "output.h"
#include "ping6.h"
#include "terminal.h"

namespace {

bool g_shown = false;
bool g_partial_line = false;

bool enabled() {
  // isatty sets errno (ENOTTY) when it says no, and callers are about to
  // perror their own failure.
  const int saved = errno;
  static const bool on = isatty(STDERR_FILENO) == 1;
  errno = saved;
  return on;
}

void write_stderr(const std::string& text) {
  // A perror that follows must still name its own failure.
  const int saved = errno;
  // Standard output may hold text that belongs on the screen before ours.
  flush_stdout();
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
  errno = saved;
}

}  // namespace

void progress_show(int position, int total) {
  if (!enabled())
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
  const int saved = errno;
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    line.resize(utf8_prefix_chars(line, size.ws_col > 3 ? size.ws_col - 3u : 0));
  errno = saved;

  std::string text;
  if (g_partial_line)
    text += '\n';
  g_partial_line = false;
  // CR to the line's start, the text, then ESC [ K erases what is left of a
  // longer earlier text.
  text += '\r';
  text += line;
  text += "\x1b[K";
  write_stderr(text);
  g_shown = true;
}

void progress_clear() {
  if (!enabled() || !g_shown)
    return;
  write_stderr("\r\x1b[K");
  g_shown = false;
}

void progress_after_partial_line() {
  // Only where standard output shares the terminal does its unfinished
  // line stand where the progress text would go.
  if (!enabled())
    return;
  const int saved = errno;
  g_partial_line = isatty(STDOUT_FILENO) == 1;
  errno = saved;
}
