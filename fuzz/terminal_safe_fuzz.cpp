// The terminal filter: its output never holds a byte it must replace, and
// text without such bytes comes out unchanged.
#include <cstdlib>
#include <string>

#include "ping6.h"

namespace {

/// Length of the control at `i` (0 when there is none): a C0 control but
/// TAB and LF, DEL, a CR not followed by LF, or C2 80..C2 9F.
size_t control_at(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c == '\r')
    return i + 1 < s.size() && s[i + 1] == '\n' ? 0 : 1;
  if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f)
    return 1;
  if (c == 0xc2 && i + 1 < s.size()) {
    const unsigned char d = static_cast<unsigned char>(s[i + 1]);
    if (d >= 0x80 && d <= 0x9f)
      return 2;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string shown = terminal_safe(text);
  for (size_t i = 0; i < shown.size(); ++i)
    if (control_at(shown, i) != 0)
      abort();
  size_t controls = 0, replaced_bytes = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t n = control_at(text, i);
    if (n != 0) {
      ++controls;
      replaced_bytes += n;
      i += n;
    } else {
      ++i;
    }
  }
  if (controls == 0 && shown != text)
    abort();
  // Each control became exactly one '?'.
  if (shown.size() != text.size() - replaced_bytes + controls)
    abort();
  return 0;
}
