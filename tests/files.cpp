#include "files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "launch.h"

namespace testutil {

std::string binary_dir() { return CONTR_BINARY_DIR; }
std::string source_dir() { return CONTR_SOURCE_DIR; }

std::string tool_path() {
  const char* installed = getenv("CONTR_TOOL");
  return installed != nullptr && *installed != '\0' ? installed : binary_dir() + "/contr_discovery";
}

std::string unique_name() {
  static std::atomic<int> counter{0};
  return std::string("cdt-" CONTR_NETNS_TREE "-") + std::to_string(getpid()) + "-" +
         std::to_string(++counter);
}

std::string repeated(std::string_view text, int times) {
  std::string all;
  while (times-- > 0)
    all += text;
  return all;
}

std::string cyrillic(size_t bytes) { return repeated("Ж", int(bytes + 1) / 2); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& content, unsigned mode) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  chmod(path.c_str(), mode);
}

std::string names_in(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename());
  std::string text;
  for (const std::string& name : names)
    text += name + "\n";
  return text;
}

std::string write_temp_file(const std::string& name, const std::string& content) {
  std::string path = "/tmp/cdt-" CONTR_NETNS_TREE "-" + name + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd == -1)
    throw std::runtime_error("mkstemp failed for " + path);
  close(fd);
  write_file(path, content, 0600);
  return path;
}

TempDir::TempDir(const std::string& parent) : path_(parent + "/cdt-" CONTR_NETNS_TREE "-XXXXXX") {
  if (mkdtemp(path_.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed for " + path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

SharedCopy::SharedCopy() {
  // Opened up for the user only once it is ours: a folder that someone
  // made first under a name we chose would hand them scripts root runs.
  chmod(dir().c_str(), 0755);
  const std::string src = source_dir();
  must({"mkdir", dir() + "/build"});
  must({"cp", "-R", src + "/scripts", src + "/tools", dir()});
  must({"cp", tool_path(), binary_dir() + "/controller_sim", dir() + "/build/"});
  must({"chmod", "-R", "a+rX", dir()});
}

}  // namespace testutil
