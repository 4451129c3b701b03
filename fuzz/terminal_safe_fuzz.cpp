// The terminal filter: its output is always well-formed UTF-8 of the
// repertoire's characters alone (for lines: and blanks, LF and CR LF), and
// text of those comes out unchanged. The checks decode on their own,
// independent of the filter.
#include <cstdlib>
#include <string>

#include "device_text.h"
#include "text_check.h"

namespace {

/// True when every sequence in `s` is well-formed.
bool well_formed(const std::string& s) {
  return textcheck::foreign_in(s, " \t\n\r").find("ill-formed") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string shown = terminal_safe(text);
  if (!textcheck::foreign_in(shown).empty())
    abort();
  if (textcheck::foreign_in(text).empty() && shown != text)
    abort();
  const std::string lines = terminal_safe_lines(text);
  if (!textcheck::foreign_in(lines, " \n\r").empty())
    abort();
  if (textcheck::foreign_in(text, " \n\r").empty() && lines != text)
    abort();
  // Nothing grows: each replaced byte or character is one '?'.
  if (shown.size() > text.size() || lines.size() != shown.size())
    abort();
  // The head that a dump keeps never ends inside a letter of well-formed
  // text, and gives up at most three bytes of the limit.
  const size_t max = size / 2;
  const size_t head = utf8_head_size(text, max);
  if (head > max || head + 3 < max)
    abort();
  if (well_formed(text) &&
      !well_formed(text.substr(0, head)))
    abort();
  return 0;
}
