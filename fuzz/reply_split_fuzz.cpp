// The reply split finds the first CR LF CR LF and returns exactly what
// follows it. What the console shows of a reply without one is quoted text:
// every line "> " and plain text without a TAB, no longer than a piece, at
// most 16 lines, and no more of the reply than its first 1024 bytes.
#include <cstdlib>
#include <string>

#include "net.h"
#include "device_text.h"
#include "text_check.h"

namespace {

void check_quoted(const std::string& reply) {
  // A piece size of every width, from the reply itself.
  const size_t piece =
      kMinDumpPieceBytes +
      reply.size() % (kDumpPieceBytes - kMinDumpPieceBytes + 1);
  const std::string shown = quote_reply(reply, piece);
  if (!textcheck::foreign_in(shown, " \n\r").empty())
    abort();
  if (shown.empty() || shown.back() != '\n')
    abort();
  size_t lines = 0, text = 0;
  for (size_t start = 0; start < shown.size(); ++lines) {
    const size_t lf = shown.find('\n', start);
    if (shown.compare(start, 2, "> ") != 0)
      abort();
    // At most a piece, and "..." and a CR on the last line.
    const size_t room = piece + (lf + 1 == shown.size() ? 4 : 1);
    if (lf - start - 2 > room)
      abort();
    text += lf - start - 2;
    start = lf + 1;
  }
  if (lines == 0 || lines > kMaxDumpLines)
    abort();
  // Each shown byte stands for one of the reply's first 1024 (a '?' for
  // one or more), "..." aside.
  if (text > kMaxDumpBytes + 3)
    abort();
  const auto ends_with = [&shown](const std::string& tail) {
    return shown.size() >= tail.size() &&
           shown.compare(shown.size() - tail.size(), tail.size(), tail) == 0;
  };
  const bool cut = ends_with("...\n") || ends_with("...\r\n");
  if (reply.size() > kMaxDumpBytes && !cut)
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  std::string body = "untouched";
  const bool found = split_reply(reply, body);
  const size_t end = reply.find("\r\n\r\n");
  if (found != (end != std::string::npos))
    abort();
  if (found && body != reply.substr(end + 4))
    abort();
  if (!found && body != "untouched")
    abort();
  check_quoted(reply);
  return 0;
}
