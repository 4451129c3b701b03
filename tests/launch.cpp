#include "launch.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "files.h"

namespace testutil {

namespace {

/// A file in memory, to be a child's standard stream.
int memory_file(const std::string& content = "") {
  const int fd = memfd_create("launch", MFD_CLOEXEC);
  if (fd == -1 || write(fd, content.data(), content.size()) != ssize_t(content.size()))
    throw std::runtime_error("memfd_create failed");
  lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string contents(int fd) {
  std::string all;
  char buffer[65536];
  ssize_t n;
  for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n)
    all.append(buffer, size_t(n));
  close(fd);
  return all;
}

/// In a child, which a failure must not outlive: says why, and ends it.
[[noreturn]] void fail_in_child(const std::string& what) {
  const std::string text = "launch: " + what + "\n";
  if (write(STDERR_FILENO, text.data(), text.size()) == -1) {
  }
  _exit(127);
}

void check(bool ok, const std::string& what) {
  if (!ok)
    fail_in_child(what + ": " + strerror(errno));
}

/// A hook of the test's, in a child, where an exception cannot reach it.
void hook(const std::function<void()>& fn) {
  try {
    if (fn)
      fn();
  } catch (const std::exception& e) {
    fail_in_child(std::string("a hook failed: ") + e.what());
  }
}

void enter(const std::string& path, int type) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  check(fd != -1 && setns(fd, type) == 0, "cannot enter " + path);
  close(fd);
}

/// A mount namespace of its own with an empty /tmp (and /run/netns). Where
/// the trees lie under /tmp (a CI checkout), descriptors opened before the
/// tmpfs hides them (in the new namespace: a bind takes its source from
/// there alone) bind them back at their paths.
void private_mounts(const Launch& l) {
  check(unshare(CLONE_NEWNS) == 0, "unshare");
  // Nothing mounted here may reach the host's mounts, its /run/netns
  // above all.
  check(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, "private mounts");
  std::vector<std::pair<int, std::string>> trees;
  for (const std::string& dir : {source_dir(), binary_dir()})
    if (dir.rfind("/tmp/", 0) == 0)
      trees.emplace_back(open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC), dir);
  const std::string size = l.tmp_size.empty() ? "" : ",size=" + l.tmp_size;
  check(!l.private_tmp || mount("cdt", "/tmp", "tmpfs", 0, ("mode=1777" + size).c_str()) == 0,
        "mounting /tmp");
  for (const auto& [fd, dir] : trees) {
    std::filesystem::create_directories(dir);
    check(mount(("/proc/self/fd/" + std::to_string(fd)).c_str(), dir.c_str(), nullptr,
                MS_BIND | MS_REC, nullptr) == 0,
          "binding " + dir);
  }
  if (l.private_netns_dir) {
    std::filesystem::create_directories("/run/netns");
    check(mount("cdt", "/run/netns", "tmpfs", 0, "mode=755") == 0, "mounting /run/netns");
  }
}

[[noreturn]] void exec(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  fail_in_child("cannot run " + argv[0] + ": " + strerror(errno));
}

void redirect(const std::string& path, int fd) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  check(file != -1 && dup2(file, fd) == fd, "cannot open " + path);
}

pid_t start_program(const Launch& l, int through) {
  const pid_t pid = fork();
  if (pid != 0)
    return pid;
  signal(SIGINT, l.ignore_sigint ? SIG_IGN : SIG_DFL);
  signal(SIGQUIT, SIG_DFL);
  if (l.close_stdout)
    close(STDOUT_FILENO);
  else if (!l.stdout_file.empty())
    redirect(l.stdout_file, STDOUT_FILENO);
  else if (through != -1)
    dup2(through, STDOUT_FILENO);
  if (!l.stderr_file.empty())
    redirect(l.stderr_file, STDERR_FILENO);
  // Nothing else this process inherited (from ctest, say) reaches the
  // program, as from a shell: the standard three and, where asked, the
  // end of the pipe that tells a run's end, at 64.
  close_range(3, 63, CLOSE_RANGE_CLOEXEC);
  close_range(65, ~0U, CLOSE_RANGE_CLOEXEC);
  hook(l.in_program);
  exec(l.argv);
}

/// become(), telling `report` the program's time and peak memory.
[[noreturn]] void keep(const Launch& l, int report) {
  // Ctrl-C on a pseudo-terminal is the program's to take, not ours.
  signal(SIGINT, SIG_IGN);
  signal(SIGQUIT, SIG_IGN);
  if (!l.netns.empty())
    enter(l.netns[0] == '/' ? l.netns : "/run/netns/" + l.netns, CLONE_NEWNET);
  if (l.private_tmp || l.private_netns_dir)
    private_mounts(l);
  if (l.keep_orphans)
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  for (const std::string& entry : l.env) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos)
      unsetenv(entry.c_str());
    else
      setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
  }
  hook(l.before);
  int through[2] = {-1, -1};
  pid_t reader = -1;
  if (!l.stdout_through.empty()) {
    check(pipe2(through, O_CLOEXEC) == 0, "pipe");
    if ((reader = fork()) == 0) {
      dup2(through[0], STDIN_FILENO);
      signal(SIGINT, SIG_DFL);
      exec(l.stdout_through);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = start_program(l, through[1]);
  close(through[0]);
  close(through[1]);
  int raw = 0;
  while (waitpid(pid, &raw, 0) == -1 && errno == EINTR) {
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (reader > 0)
    waitpid(reader, nullptr, 0);
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const std::string text = std::to_string(took.count()) + " " + std::to_string(usage.ru_maxrss);
  if (report != -1 && write(report, text.data(), text.size()) == -1) {
  }
  hook(l.after);
  if (WIFSIGNALED(raw)) {  // end as the program ended
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    signal(WTERMSIG(raw), SIG_DFL);
    raise(WTERMSIG(raw));
  }
  _exit(WIFEXITED(raw) ? WEXITSTATUS(raw) : 127);
}

std::string joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    const bool plain = !word.empty() && word.find_first_of(" '\"\\$`;&|<>()*?\t\n") ==
                                            std::string::npos;
    line += (line.empty() ? "" : " ") + (plain ? word : "'" + word + "'");
  }
  return line;
}

/// What a forked child, whose standard streams are files in memory
/// (standard input holding `input`), wrote; `body` runs in it with a
/// fourth such file to write to, and must end it.
struct Captured {
  std::string out, err, extra;
  int raw = 0;
};
Captured in_child(const std::string& input, const std::function<void(int)>& body) {
  const int in = memory_file(input), out = memory_file(), err = memory_file();
  const int extra = memory_file();
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    body(extra);
    _exit(3);
  }
  close(in);
  Captured c;
  waitpid(pid, &c.raw, 0);
  c.out = contents(out);
  c.err = contents(err);
  c.extra = contents(extra);
  return c;
}

}  // namespace

Outcome run(const Launch& l) {
  Outcome o;
  o.command = (l.netns.empty() ? "" : "(in network namespace " + l.netns + ") ") +
              (l.env.empty() ? "" : "env " + joined(l.env) + " ") + joined(l.argv) +
              (l.stdout_through.empty() ? "" : " | " + joined(l.stdout_through));
  int done[2];
  if (pipe2(done, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe2 failed");
  const Captured c = in_child(l.input, [&](int report) {
    if (l.await_background)
      dup2(done[1], 64);  // inherited by all it starts
    keep(l, report);
  });
  close(done[1]);
  pollfd p{done[0], POLLIN, 0};
  char byte;
  while (poll(&p, 1, 60000) == 1 && read(done[0], &byte, 1) > 0) {
  }
  if (poll(&p, 1, 0) == 0)
    ADD_FAILURE() << "a process of this run still runs a minute on: " << o.command;
  close(done[0]);
  o.status = WIFEXITED(c.raw) ? WEXITSTATUS(c.raw) : -1;
  o.signal = WIFSIGNALED(c.raw) ? WTERMSIG(c.raw) : 0;
  o.out = c.out;
  o.err = c.err;
  std::istringstream(c.extra) >> o.seconds >> o.peak_kib;
  return o;
}

void become(const Launch& l) { keep(l, -1); }

int status(const std::vector<std::string>& argv) { return run({.argv = argv}).status; }

std::string output(const std::vector<std::string>& argv) { return run({.argv = argv}).out; }

void must(const std::vector<std::string>& argv, const std::string& netns) {
  const Outcome o = run({.argv = argv, .netns = netns});
  if (o.status != 0)
    ADD_FAILURE() << o.command << ": status " << o.status << "\n" << o.err;
}

std::string missing(const std::string& command) {
  std::istringstream path(command.find('/') == std::string::npos ? getenv("PATH") : ".");
  for (std::string dir; std::getline(path, dir, ':');)
    if (access((command[0] == '/' ? command : dir + "/" + command).c_str(), X_OK) == 0)
      return "";
  return command + " is not installed";
}

ChildResult run_child(const std::string& input, const std::function<std::string()>& fn) {
  const Captured c = in_child(input, [&fn](int result) {
    std::string text;
    try {
      text = fn();
    } catch (const std::exception& e) {
      text = std::string("exception: ") + e.what();
    }
    fflush(nullptr);
    _exit(write(result, text.data(), text.size()) == ssize_t(text.size()) ? 0 : 3);
  });
  const bool ended = WIFEXITED(c.raw) && WEXITSTATUS(c.raw) == 0;
  return {c.out, c.err, ended ? c.extra : "child died"};
}

}  // namespace testutil
