#include "test_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace testutil {

namespace {

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

int exit_status(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

std::string repeated(std::string_view text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i)
    all += text;
  return all;
}

std::string cyrillic(size_t bytes) {
  std::string text;
  while (text.size() < bytes)
    text += "Ж";
  return text;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string temp_folder() {
  char templ[] = "/tmp/cdt-test-XXXXXX";
  const char* dir = mkdtemp(templ);
  if (dir == nullptr)
    throw std::runtime_error("mkdtemp failed");
  return dir;
}

std::string write_temp_file(const std::string& name,
                            const std::string& content) {
  // mkstemp: a name nobody can guess and make first (O_EXCL), since the
  // suite runs as root in a /tmp that every user shares.
  std::string path = "/tmp/cdt-" CONTR_NETNS_TREE "-";
  path += name;
  path += "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd == -1)
    throw std::runtime_error("mkstemp failed for " + path);
  close(fd);
  write_file(path, content);
  return path;
}

std::string binary_dir() { return CONTR_BINARY_DIR; }
std::string source_dir() { return CONTR_SOURCE_DIR; }

std::string tool_path() {
  const char* installed = getenv("CONTR_TOOL");
  return installed != nullptr && *installed != '\0'
             ? installed
             : binary_dir() + "/contr_discovery";
}

std::string netns_unavailable() {
  static const std::string why = [] () -> std::string {
    if (geteuid() != 0)
      return "needs root for network namespaces";
    if (system("command -v ip >/dev/null 2>&1") != 0)
      return "needs the ip command (iproute2)";
    const std::string name = unique_name();
    if (sh("ip netns add " + name + " 2>/dev/null") != 0)
      return "cannot create a network namespace";
    sh("ip netns del " + name);
    return "";
  }();
  return why;
}

std::string missing(const std::string& command) {
  return sh("command -v " + command + " >/dev/null") == 0
             ? ""
             : command + " is not installed";
}

std::string unique_name() {
  static std::atomic<int> counter{0};
  return std::string("cdt-") + CONTR_NETNS_TREE + "-" + std::to_string(getpid()) +
         "-" + std::to_string(++counter);
}

int sh(const std::string& cmd) {
  fflush(stdout);
  return exit_status(system(cmd.c_str()));
}

std::string sh_out(const std::string& cmd) {
  std::string out;
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr)
    return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
    out.append(buf, n);
  pclose(pipe);
  return out;
}

std::string with_private_tmp(const std::string& script) {
  // The trees may lie under /tmp (a CI checkout): descriptors opened on
  // them before the tmpfs goes up bind them back at the same paths. mount
  // must not canonicalize /proc/self/fd/N: the name it resolves to would
  // already point into the new, empty tmpfs.
  const std::string src = source_dir(), bin = binary_dir();
  return "unshare -m bash -c 'exec 3<" + src + " 4<" + bin +
         " && mount -t tmpfs cdt /tmp && mkdir -p " + src +
         " && mount --no-canonicalize --bind /proc/self/fd/3 " + src +
         " && mkdir -p " + bin +
         " && mount --no-canonicalize --bind /proc/self/fd/4 " + bin +
         " && exec 3<&- 4<&- && " + script + "'";
}

SharedCopy::SharedCopy() {
  // A fresh folder of ours, opened up for the user only once it is ours: a
  // folder that someone made first under a name we chose would hand them
  // the scripts that root then runs.
  std::string templ = "/var/tmp/cdt-" CONTR_NETNS_TREE "-copy-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr ||
      chmod(templ.c_str(), 0755) != 0) {
    ADD_FAILURE() << "cannot make a folder like " << templ;
    return;
  }
  dir_ = templ;
  const std::string src = source_dir(), bin = binary_dir();
  if (sh("mkdir " + dir_ + "/build && cp -R " + src + "/scripts " + src +
         "/tools " + dir_ + "/ && cp " + tool_path() + " " + bin +
         "/controller_sim " + dir_ + "/build/ && chmod -R a+rX " + dir_) != 0)
    ADD_FAILURE() << "cannot copy the tree to " << dir_;
}

SharedCopy::~SharedCopy() {
  if (!dir_.empty())
    sh("rm -rf " + dir_);
}

ProcessResult run_process(const std::string& cmd, const std::string& input) {
  const std::string dir = temp_folder();
  write_file(dir + "/in", input);
  ProcessResult r;
  r.status = sh("(" + cmd + ") <" + dir + "/in >" + dir + "/out 2>" + dir +
                "/err");
  r.out = read_file(dir + "/out");
  r.err = read_file(dir + "/err");
  sh("rm -rf " + dir);
  return r;
}

ChildResult run_child(const std::string& input,
                      const std::function<std::string()>& fn) {
  const std::string dir = temp_folder();
  write_file(dir + "/in", input);
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (freopen((dir + "/in").c_str(), "r", stdin) == nullptr ||
        freopen((dir + "/out").c_str(), "w", stdout) == nullptr ||
        freopen((dir + "/err").c_str(), "w", stderr) == nullptr)
      _exit(3);
    std::string result;
    try {
      result = fn();
    } catch (const std::exception& e) {
      result = std::string("exception: ") + e.what();
    }
    fflush(stdout);
    fflush(stderr);
    write_file(dir + "/result", result);
    _exit(0);
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  ChildResult r;
  r.out = read_file(dir + "/out");
  r.err = read_file(dir + "/err");
  r.result = read_file(dir + "/result");
  if (exit_status(raw) != 0)
    r.result = "child died";
  sh("rm -rf " + dir);
  return r;
}

Netns::Netns() : Netns(unique_name()) {}

Netns::Netns(const std::string& name) : name_(name) {
  if (sh("ip netns add " + name_) != 0)
    ADD_FAILURE() << "cannot create namespace " << name_;
  sh("ip -n " + name_ + " link set lo up");
}

Netns::~Netns() {
  sh("ip netns pids " + name_ + " 2>/dev/null | xargs -r kill -9 2>/dev/null");
  sh("ip netns del " + name_ + " 2>/dev/null");
}

void Netns::ip_batch(const std::string& commands) const {
  const std::string dir = temp_folder();
  write_file(dir + "/batch", commands);
  const int status = sh("ip -n " + name_ + " -batch " + dir + "/batch");
  sh("rm -rf " + dir);
  EXPECT_EQ(status, 0) << "ip batch failed:\n" << commands;
}

InNetns::InNetns(const std::string& name) {
  saved_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const int target =
      open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
  if (saved_ == -1 || target == -1 || setns(target, CLONE_NEWNET) == -1)
    throw std::runtime_error("cannot enter namespace " + name);
  close(target);
}

InNetns::~InNetns() {
  if (saved_ != -1) {
    setns(saved_, CLONE_NEWNET);
    close(saved_);
  }
}

Lab::Lab(const std::string& host_line, const std::vector<std::string>& nodes)
    : state_(temp_folder()) {
  std::string config = "prefix " + unique_name() + "\n";
  config += "sim " + binary_dir() + "/controller_sim\n";
  config += "host " + host_line + "\n";
  for (const std::string& node : nodes)
    config += "node " + node + "\n";
  write_file(state_ + "/config", config);
  if (sh(source_dir() + "/tools/lab up " + state_ + " " + state_ +
         "/config") != 0) {
    ADD_FAILURE() << "tools/lab up failed for:\n" << config;
    return;
  }
  std::istringstream host(read_file(state_ + "/host"));
  host >> host_ns_ >> host_if_ >> host_address_;
  std::istringstream list(read_file(state_ + "/nodes"));
  Node n;
  while (list >> n.name >> n.ns >> n.address)
    nodes_.push_back(n);
  ok_ = nodes_.size() == nodes.size() && !host_address_.empty();
  if (!ok_)
    ADD_FAILURE() << "lab state incomplete in " << state_;
}

Lab::~Lab() {
  sh(source_dir() + "/tools/lab down " + state_);
  sh("rm -rf " + state_);
}

std::string Lab::log(const std::string& name) const {
  for (size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].name == name)
      return read_file(state_ + "/node" + std::to_string(i + 1) + ".log");
  throw std::runtime_error("no lab node " + name);
}

bool Lab::serve(const std::string& sim_args) const {
  return sh(source_dir() + "/tools/lab serve " + state_ + " " + sim_args) == 0;
}

const Lab::Node& Lab::node(const std::string& name) const {
  for (const Node& n : nodes_)
    if (n.name == name)
      return n;
  throw std::runtime_error("no lab node " + name);
}

ToolRunner::ToolRunner(const Lab& lab) : lab_(lab) {
  std::string templ = binary_dir() + "/" + unique_name() + "-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed for " + templ);
  out_ = templ;
  stubs_ = out_ + "/bin";
  sh("mkdir " + stubs_);
  std::ofstream(stubs_ + "/chromium")
      << "#!/bin/sh\n"
      << "cp /tmp/disc734.html " << out_ << "/page.html 2>/dev/null\n"
      // Where the browser's standard output points, read before any
      // redirection of this shell's own (dash redirects in the parent).
      << "fd1=$(readlink /proc/$$/fd/1 || echo closed)\n"
      << "echo \"$fd1\" >" << out_ << "/stdout\n"
      << "printf '%s\\n' \"$*\" >" << out_ << "/calls.tmp && mv " << out_
      << "/calls.tmp " << out_ << "/calls\n";
  chmod((stubs_ + "/chromium").c_str(), 0755);
}

ToolRunner::~ToolRunner() { sh("rm -rf " + out_); }

std::string ToolRunner::command(const std::string& prepare,
                                const std::string& redirects,
                                const std::string& after) const {
  // A private /tmp hides the real /tmp/disc734.html.
  return "ip netns exec " + lab_.host_ns() + " " +
         with_private_tmp(prepare + " && { PATH=" + stubs_ + ":$PATH " +
                          launcher_ + tool_path() + " " + redirects +
                          "; status=$?; " + after + " ; exit $status; }");
}

ProcessResult ToolRunner::run(const std::string& input,
                              const std::string& prepare,
                              const std::string& redirects,
                              const std::string& after) {
  const std::string cmd = command(prepare, redirects, after);
  // Every process of the run inherits the write end of this pipe, the
  // browser that the tool starts in the background among them: the end of
  // file on it tells that all of them have ended. A browser that is not
  // started must be known not to come later.
  int ends[2];
  if (pipe(ends) != 0)
    throw std::runtime_error("pipe failed");
  // A child of our own runs it, so that its children's peak memory is the
  // run's alone.
  ProcessResult r;
  const ChildResult c = run_child(input, [&cmd] {
    const auto start = std::chrono::steady_clock::now();
    const int status = exit_status(system(cmd.c_str()));
    const std::chrono::duration<double> took =
        std::chrono::steady_clock::now() - start;
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return std::to_string(status) + " " + std::to_string(took.count()) + " " +
           std::to_string(ru.ru_maxrss);
  });
  close(ends[1]);
  pollfd p{ends[0], POLLIN, 0};
  char byte;
  while (poll(&p, 1, 60000) == 1 && read(ends[0], &byte, 1) > 0) {
  }
  if (poll(&p, 1, 0) == 0)
    ADD_FAILURE() << "a process the run started still runs a minute on";
  close(ends[0]);
  std::istringstream result(c.result);
  result >> r.status >> seconds_ >> peak_kib_;
  r.out = c.out;
  r.err = c.err;
  return r;
}

std::string ToolRunner::browser_calls() const {
  for (int i = 0; i < 50; ++i) {
    const std::string calls = read_file(out_ + "/calls");
    if (!calls.empty())
      return calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "";
}

std::string ToolRunner::browser_calls_after_the_run() const {
  return read_file(out_ + "/calls");
}

std::string ToolRunner::browser_stdout() const {
  browser_calls();
  return read_file(out_ + "/stdout");
}

std::string ToolRunner::page() const {
  // The browser starts in the background; its record of the call is
  // written after the page is copied.
  browser_calls();
  return read_file(out_ + "/page.html");
}

void ToolRunner::stub_ping6(const std::string& printf_format) {
  stub_ping6_script("printf '" + printf_format + "'");
}

void ToolRunner::stub_ping6_script(const std::string& script) {
  std::ofstream(stubs_ + "/ping6") << "#!/bin/sh\n" << script << "\n";
  chmod((stubs_ + "/ping6").c_str(), 0755);
}

void ToolRunner::busybox_ping6() {
  sh("ln -sf \"$(command -v busybox)\" " + stubs_ + "/ping6");
}

std::vector<std::string> summary_lines(const std::string& out) {
  const std::string heading = "\nОбнаруженные контроллеры:\n";
  const std::string after = "\nАдрес FBD программирования: ";
  std::vector<std::string> lines;
  const size_t from = out.find(heading);
  const size_t to = out.find(after);
  if (from == std::string::npos || to == std::string::npos || to < from)
    return lines;
  std::istringstream text(
      out.substr(from + heading.size(), to - from - heading.size()));
  for (std::string line; std::getline(text, line);)
    lines.push_back(line);
  return lines;
}

bool remove_each(std::string& text, const std::vector<std::string>& fragments) {
  for (const std::string& fragment : fragments) {
    const size_t at = text.find(fragment);
    if (at == std::string::npos)
      return false;
    text.erase(at, fragment.size());
  }
  return true;
}

std::string without_ping_warning(std::string err) {
  const std::string warning =
      "ping6: Warning: source address might be selected on device other "
      "than: eth0\n";
  const size_t at = err.find(warning);
  if (at != std::string::npos)
    err.erase(at, warning.size());
  return err;
}

int open_fd_count() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr)
    return -1;
  while (readdir(dir) != nullptr)
    ++count;
  closedir(dir);
  return count;
}

}  // namespace testutil
