#ifndef CONTR_DISCOVERY_TESTS_PTY_SESSION_H_
#define CONTR_DISCOVERY_TESTS_PTY_SESSION_H_

#include <sys/types.h>

#include <string>

#include "launch.h"

namespace testutil {

/// A program run on a pseudo-terminal of its own, as an operator's terminal
/// would run it: it is the terminal's foreground process group, its
/// standard input, output and error are the terminal (but where `launch`
/// puts them elsewhere), and the line discipline has its defaults (echo,
/// Ctrl-C as SIGINT, LF written as CR LF).
class PtySession {
 public:
  /// `columns`: the terminal's width, as TIOCGWINSZ tells it.
  explicit PtySession(const Launch& launch, unsigned short columns = 200);
  ~PtySession();
  PtySession(const PtySession&) = delete;

  /// Reads until `text` appears in the output after byte `from`, or until
  /// `seconds` have passed; true if it appeared.
  bool wait_for(const std::string& text, double seconds, size_t from = 0);
  /// Reads until nothing new has come for `quiet` seconds, at most
  /// `seconds` in all; true if it went quiet.
  bool wait_quiet(double quiet, double seconds);
  /// Types `keys` (a "\x03" is Ctrl-C).
  void type(const std::string& keys);
  /// Reads to the end; the command's exit status (-1 if it did not exit
  /// within `seconds` or ended by a signal).
  int wait_exit(double seconds);
  /// Everything the terminal received.
  const std::string& output() const { return out_; }
  /// The process that holds the session (and the namespaces of `launch`).
  pid_t pid() const { return pid_; }

 private:
  /// Reads what comes within `ms`: the count of bytes, 0 for none, -1 at
  /// the end of the output.
  int read_some(int ms);

  int master_ = -1;
  pid_t pid_ = -1;
  bool ended_ = false;
  std::string out_;
};

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_PTY_SESSION_H_
