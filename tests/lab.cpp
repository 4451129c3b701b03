#include "lab.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace testutil {

namespace fs = std::filesystem;

std::string netns_unavailable() {
  static const std::string why = []() -> std::string {
    if (geteuid() != 0)
      return "needs root for network namespaces";
    if (!missing("ip").empty())
      return "needs the ip command (iproute2)";
    const std::string name = unique_name();
    if (status({"ip", "netns", "add", name}) != 0)
      return "cannot create a network namespace";
    status({"ip", "netns", "del", name});
    return "";
  }();
  return why;
}

Netns::Netns(const std::string& name) : name_(name) {
  must({"ip", "netns", "add", name_});
  must({"ip", "-n", name_, "link", "set", "lo", "up"});
}

Netns::~Netns() {
  std::istringstream pids(output({"ip", "netns", "pids", name_}));
  for (int pid; pids >> pid; kill(pid, SIGKILL)) {
  }
  status({"ip", "netns", "del", name_});
}

void Netns::ip_batch(const std::string& commands) const {
  const Outcome o = run({.argv = {"ip", "-n", name_, "-batch", "-"}, .input = commands});
  EXPECT_EQ(o.status, 0) << "ip batch failed:\n" << commands << o.err;
}

InNetns::InNetns(const std::string& name)
    : saved_(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)) {
  const int target = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
  if (saved_ == -1 || target == -1 || setns(target, CLONE_NEWNET) == -1)
    throw std::runtime_error("cannot enter namespace " + name);
  close(target);
}

InNetns::~InNetns() {
  setns(saved_, CLONE_NEWNET);
  close(saved_);
}

Lab::Lab(const std::string& host_line, const std::vector<std::string>& nodes)
    : prefix_(unique_name()) {
  std::string config = "prefix " + prefix_ + "\nsim " + binary_dir() + "/controller_sim\n";
  config += "host " + host_line + "\n";
  for (const std::string& node : nodes)
    config += "node " + node + "\n";
  write_file(state_ / "config", config);
  const Outcome up =
      run({.argv = {source_dir() + "/tools/lab", "up", state_dir(), state_ / "config"}});
  std::istringstream host(read_file(state_ / "host")), list(read_file(state_ / "nodes"));
  host >> host_ns_ >> host_if_ >> host_address_;
  for (Node n; list >> n.name >> n.ns >> n.address;)
    nodes_.push_back(n);
  if (up.status != 0 || nodes_.size() != nodes.size() || host_address_.empty())
    error_ = up.command + " failed for:\n" + config + up.err;
}

Lab::~Lab() { status({source_dir() + "/tools/lab", "down", state_dir()}); }

const Lab::Node& Lab::node(const std::string& name) const {
  for (const Node& n : nodes_)
    if (n.name == name)
      return n;
  throw std::runtime_error("no lab node " + name);
}

std::string Lab::log(const std::string& name) const {
  return read_file(state_ / ("node" + std::to_string(&node(name) - &nodes_[0] + 1) + ".log"));
}

bool Lab::serve(const std::vector<std::string>& sim_args) const {
  std::vector<std::string> argv = {source_dir() + "/tools/lab", "serve", state_dir()};
  argv.insert(argv.end(), sim_args.begin(), sim_args.end());
  return status(argv) == 0;
}

ToolRunner::ToolRunner(const Lab& lab) : lab_(lab), out_(binary_dir()) {
  fs::create_directory(out_ / "bin");
  fs::create_symlink(source_dir() + "/tests/bin/chromium", out_ / "bin/chromium");
}

Launch ToolRunner::launch() const {
  Launch l{.argv = under_, .netns = lab_.host_ns(), .private_tmp = true,
           .await_background = true};
  l.argv.push_back(tool_path());
  l.env = {"CONTR_STUB_OUT=" + out_dir(), "PATH=" + out_ / "bin" + ":" + getenv("PATH")};
  return l;
}

Outcome ToolRunner::run(const std::string& input) const {
  Launch l = launch();
  l.input = input;
  return run(l);
}

void ToolRunner::stub_ping6(const std::string& out, const std::string& err, int status) {
  write_file(out_ / "ping6.out", out);
  write_file(out_ / "ping6.err", err);
  write_file(out_ / "ping6.status", std::to_string(status) + "\n");
  ping6(source_dir() + "/tests/bin/ping6");
}

void ToolRunner::ping6(const std::string& program) {
  fs::remove(out_ / "bin/ping6");
  fs::create_symlink(program, out_ / "bin/ping6");
}

std::vector<std::string> summary_lines(const std::string& out) {
  const std::string heading = "\nОбнаруженные контроллеры:\n";
  const size_t from = out.find(heading), to = out.find("\nАдрес FBD программирования: ");
  std::vector<std::string> lines;
  if (from == std::string::npos || to == std::string::npos || to < from)
    return lines;
  std::istringstream text(out.substr(from + heading.size(), to - from - heading.size()));
  for (std::string line; std::getline(text, line);)
    lines.push_back(line);
  return lines;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
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
  for (size_t at; (at = err.find("ping6: Warning: ")) != std::string::npos;)
    err.erase(at, err.find('\n', at) + 1 - at);
  return err;
}

}  // namespace testutil
